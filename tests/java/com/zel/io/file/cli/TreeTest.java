package com.zel.io.file.cli;

import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.*;
import com.zel.io.file.FileTree.Action;
import com.zel.io.file.exception.ExtendedIOException;
import java.io.*;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.ServerSocketChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.util.*;
import java.util.function.BiFunction;
import java.util.stream.*;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Scan, walk, ls and manifest on real trees, judged by find -printf, ls and bsdtar --format=mtree. */
class TreeTest {
    @TempDir Path dir;

    static final String TREE = "mkdir -p t/d/e t/sg; touch t/f \"t/$(printf 'x\\351y')\" 't/sp ace' \"t/$(printf 'n\\nl')\" 't/q#=\\';"
            + " chmod 4755 t/f; chmod 2775 t/sg; chmod 1777 t/d; ln -s f t/l; ln -s \"$(printf '\\351 x')\" t/l2; mkfifo t/p;"
            + " mknod t/c c 1 3; mknod t/b b 7 0; echo hi >t/d/e/g; ln t/d/e/g t/hard; chown 4321:4322 t/d/e t/hard;"
            + " touch -d @1577836800 t/sg; touch -h -d '2001-02-03 04:05:06.5' t/l";

    /** The walk's entries in find -printf's words, each path and text as bytes escaped the same way. */
    private static Map<String, String> walked(Path top) throws ExtendedIOException {
        Map<String, String> lines = new TreeMap<>();
        int below = top.toString().length() + 1;
        BiFunction<String, DirectoryEntry, Action> add = (path, e) -> {
            String time = Math.floorDiv(e.modifiedNanos(), 1_000_000_000L) + String.format(".%09d0", Math.floorMod(e.modifiedNanos(), 1_000_000_000L));
            lines.put(Mtree.escape(path.length() < below ? "" : path.substring(below)), Mtree.escape(String.join(" ",
                    e.type() == DirectoryEntry.Type.REGULAR ? "f" : String.valueOf(e.type().letter()), Integer.toOctalString(e.mode()), "" + e.uid(), "" + e.gid(),
                    Objects.requireNonNullElse(e.owner(), "" + e.uid()), Objects.requireNonNullElse(e.group(), "" + e.gid()), "" + e.size(), time,
                    "" + e.inode(), "" + e.links(), Objects.requireNonNullElse(e.linkTarget(), ""))));
            return Action.CONTINUE;
        };
        FileTree.walk(top, new FileTree.Visitor() {
            public Action preVisitDirectory(String path, DirectoryEntry e) { return add.apply(path, e); }
            public Action visitFile(String path, DirectoryEntry e) { return add.apply(path, e); }
        });
        return lines;
    }

    private static Map<String, String> found(Path top) throws IOException {
        Process p = new ProcessBuilder("find", top.toString(), "-printf", "%P\\0%y %m %U %G %u %g %s %T@ %i %n %l\\0").start();
        String[] fields = new String(p.getInputStream().readAllBytes(), StandardCharsets.ISO_8859_1).split("\0");
        Map<String, String> lines = new TreeMap<>();
        for (int i = 0; i + 1 < fields.length; i += 2) lines.put(Mtree.escape(fields[i].getBytes(StandardCharsets.ISO_8859_1)),
                Mtree.escape(fields[i + 1].getBytes(StandardCharsets.ISO_8859_1)));
        return lines;
    }

    private static Kit.Result nativefile(Path dir, String... args) {
        return Kit.run(Kit.java(List.of(), Main.class.getName(), args), Map.of(), true);
    }

    /** Every file type, special bits, unlisted owners, names no UTF-8, a hard link: the walk as find sees it, the manifest as bsdtar writes it. */
    @Test
    void walkAndManifestAgreeWithFindAndBsdtar() throws Exception {
        assumeTrue(Kit.ROOT, "devices and owners need root");
        Kit.sh(dir, TREE, Map.of());
        Path t = dir.resolve("t");
        try (ServerSocketChannel socket = ServerSocketChannel.open(StandardProtocolFamily.UNIX)) {
            socket.bind(UnixDomainSocketAddress.of(t.resolve("s")));
        }
        assertEquals(found(t), walked(t));
        assertEquals(found(t.resolve("d")).keySet().stream().filter(n -> !n.isEmpty() && !n.contains("/")).collect(Collectors.toSet()),
                DirectoryScan.scan(t.resolve("d")).stream().map(e -> Mtree.escape(e.name())).collect(Collectors.toSet()));

        String theirs = Kit.sh(dir, "bsdtar --format=mtree -cf - -C t . | tee bsdtar.mtree", Map.of());
        String ours = nativefile(dir, "manifest", t.toString()).out();
        Map<String, Map<String, String>> want = Mtree.read(theirs), got = Mtree.read(ours);
        want.values().forEach(keywords -> keywords.keySet().retainAll(Mtree.KEYWORDS));
        assertEquals(want, got);
        java.util.function.Function<String, Set<String>> paths = m -> m.lines().map(l -> l.split(" ")[0]).collect(Collectors.toCollection(TreeSet::new));
        assertEquals(paths.apply(theirs), paths.apply(ours));  // escaped byte for byte as bsdtar escapes
        assertTrue(ours.startsWith("#mtree\n. type=dir ") && ours.contains("\n./x\\351y type=file mode=644 ") && ours.contains(" link=\\351\\040x "), ours);

        Kit.Result same = nativefile(dir, "manifest", "--check", dir + "/bsdtar.mtree", t.toString());
        assertEquals(new Kit.Result(0, ""), same);
        Kit.sh(dir, "chmod 644 t/f; rm t/p; touch t/new; chown 7 t/sg; ln -sfn d t/l; echo more >>t/d/e/g; touch -d @1577836801 t/sg", Map.of());
        Kit.Result differs = nativefile(dir, "manifest", "--check", dir + "/bsdtar.mtree", t.toString());
        assertEquals(1, differs.status());
        assertEquals("""
                ./d/e/g: size expected 3, found 8
                ./f: mode expected 4755, found 644
                ./hard: size expected 3, found 8
                ./l: link expected f, found d
                ./new: extra
                ./p: missing
                ./sg: uid expected 0, found 7
                ./sg: uname expected root, found lp
                ./sg: time expected 1577836800.0, found 1577836801.0
                """, differs.out().replaceAll("(?m)^(\\./(l|d/e/g|hard|\\.)): time.*\n|^\\.: time.*\n|^\\./d/e: time.*\n", ""));
    }

    /** ls's lines for -l, -R, both, and paths of files with a directory: total lines, devices, ids, names no UTF-8 (in byte order), old and future times. */
    @Test
    void lsPrintsWhatLsPrints() throws Exception {
        Kit.sh(dir, "mkdir -p t/a/b t/c; touch t/f 't/sp ace' \"t/$(printf 'x\\251y')\" \"t/$(printf 'x\\303\\251y')\"; head -c 5000 /dev/zero >t/a/g;"
                + (Kit.ROOT ? " chown 1:1 t/f; chown 4321:4322 't/sp ace'; mknod t/a/cd c 1 3; mknod t/a/bd b 259 65536;" : "")
                + " chmod 4750 t/f; ln -s \"$(printf '\\251')\" t/l; mkfifo t/a/p; touch -d 2001-02-03 t/c; touch -d '+2 days' t/a/g", Map.of());
        for (String options : List.of("-l", "-R", "-lR", "-l t/l t/f t/a")) {
            String[] words = options.split(" ");
            List<String> args = Stream.concat(Stream.of("ls"), Arrays.stream(words)).map(w -> w.startsWith("t/") ? dir + "/" + w : w).collect(Collectors.toList());
            if (words.length == 1) args.add(dir + "/t");
            String want = Kit.sh(dir, "LC_ALL=C.UTF-8 ls " + String.join(" ", args.subList(1, args.size()).stream().map(a -> "'" + a + "'").toList()), Map.of());
            assertEquals(new Kit.Result(0, want), nativefile(dir, args.toArray(String[]::new)), options);
        }
        assumeTrue(Kit.ROOT, "devices and owners need root");
    }

    /** A directory swapped for a link or another directory before descent is not entered; prune, stop, a throwing visitor: no descriptor left open. */
    @Test
    void swappedDirectoriesAreNotEnteredAndNoDescriptorIsLeftOpen() throws Exception {
        Kit.sh(dir, "mkdir -p t/a/in t/b/in t/c/in t/d; touch t/a/in/x t/b/in/x t/c/in/x t/d/x", Map.of());
        Path t = dir.resolve("t");
        List<String> seen = new ArrayList<>();
        FileTree.Visitor swapping = new FileTree.Visitor() {
            public Action preVisitDirectory(String path, DirectoryEntry e) {
                seen.add(path.substring(t.toString().length()));
                Kit.sh(t, switch (e.name()) {
                    case "a" -> "mv a a.old; ln -s a.old a";
                    case "b" -> "mv b b.old; mkdir -p b/in";
                    default -> "true";
                }, Map.of());
                return e.name().equals("c") ? Action.SKIP_SUBTREE : Action.CONTINUE;
            }
            public Action visitFile(String path, DirectoryEntry e) {
                seen.add(path.substring(t.toString().length()));
                return Action.CONTINUE;
            }
            public Action visitFailed(String path, DirectoryEntry e, ExtendedIOException x) {
                seen.add(path.substring(t.toString().length()) + " " + x.getClass().getSimpleName() + " " + x.getErrno());
                return Action.CONTINUE;
            }
        };
        FileTree.walk(t, swapping);
        Collections.sort(seen);
        assertEquals(List.of("", "/a", "/a FileNotFoundException 20", "/b", "/b FileNotFoundException 2", "/c", "/d", "/d/x"), seen);

        List<String> open = descriptors();  // after a first walk: the C library keeps a socket of its user database open
        List<String> files = new ArrayList<>();
        FileTree.walk(t, (path, e) -> files.add(path) && files.size() == 2 ? Action.TERMINATE : Action.CONTINUE);
        assertEquals(2, files.size());
        assertThrows(IllegalStateException.class, () -> FileTree.walk(t, (path, e) -> {
            if (path.endsWith("/in/x")) throw new IllegalStateException();  // three directories deep
            return Action.CONTINUE;
        }));
        // None opened since: the pipes of the shells started above may close meanwhile, not open.
        assertEquals(List.of(), descriptors().stream().filter(d -> !open.contains(d)).toList());
    }

    private static List<String> descriptors() throws IOException {
        List<String> open = new ArrayList<>();
        for (File fd : new File("/proc/self/fd").listFiles()) {
            try {
                open.add(fd.getName() + " " + Files.readSymbolicLink(fd.toPath()));
            } catch (NoSuchFileException listing) {  // the listing's own, closed by now
            }
        }
        return open.stream().sorted().toList();
    }

    /** Nesting deeper than PATH_MAX: every level is walked; a directory nobody may read is reported and the walk goes on. */
    @Test
    void deeperThanPathMaxAndUnreadableAsNobody() throws Exception {
        String name = "n".repeat(250);
        // Two chains of 10 names, each short enough to make, one moved to the bottom of the other.
        Kit.sh(dir, "c=$(for i in $(seq 10); do printf %s/ " + name + "; done); mkdir -p deep/$c b/$c; touch b/$c/leaf; mv b deep/$c", Map.of());
        try {
            List<String> leaves = new ArrayList<>();
            FileTree.walk(dir.resolve("deep"), (path, e) -> leaves.add(path) ? Action.CONTINUE : Action.TERMINATE);
            assertEquals(1, leaves.size());
            assertTrue(leaves.get(0).length() > 5000 && leaves.get(0).endsWith(name + "/leaf"));
        } finally {
            Kit.sh(dir, "rm -rf deep", Map.of());
        }
        assumeTrue(Kit.ROOT, "needs root to become nobody");
        Kit.sh(dir, "chmod 755 .; mkdir -p t/open t/shut; touch t/open/f t/shut/g; chmod 700 t/shut", Map.of());
        List<String> command = new ArrayList<>(Kit.AS_NOBODY);
        command.addAll(Kit.java(List.of(), Main.class.getName(), "ls", "-R", dir + "/t"));
        Kit.Result r = Kit.run(command, Map.of(), true);
        assertEquals(1, r.status(), r.out());
        assertTrue(r.out().contains("nativefile: " + dir + "/t/shut: [ERRNO: 013] MSG: Could not read the directory.  Permission denied.")
                && r.out().contains(dir + "/t/open:\nf\n"), r.out());
    }
}
