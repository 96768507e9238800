package com.zel.io.file.bench;

import static java.nio.file.LinkOption.NOFOLLOW_LINKS;

import com.zel.io.file.DirectoryEntry;
import com.zel.io.file.DirectoryScan;
import com.zel.io.file.FileTree;
import java.io.IOException;
import java.nio.file.FileSystems;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.UserPrincipalLookupService;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.IntStream;

/**
 * Times whole-tree reads per entry, in one run: our scan and our walk (names resolved), Java's
 * walk with readAttributes (names included), find -printf, ls -lR and the C floor (getdents64
 * plus fstatat), on a tree it makes on disk and removes afterwards: 100 directories of 1,000
 * entries each (990 files, 10 links; as root every third file owned by daemon:bin).
 *
 * <p>Usage: {@code TreeBench [--rounds N] [--smoke] --out DIR}; the system property {@code
 * nativefile.bench.treefloor} names the floor program. The tree is made in DIR, which must be on
 * the disk to be measured; the cache is warm (one untimed pass of each method first).
 */
public final class TreeBench {
    private interface Walk {
        long run() throws Exception;
    }

    private static final String FLOOR = "C floor: getdents64 + fstatat";

    private TreeBench() {}

    public static void main(String[] args) throws Exception {
        List<String> arguments = Arrays.asList(args);
        boolean smoke = arguments.contains("--smoke");
        int rounds = arguments.contains("--rounds") ? Integer.parseInt(arguments.get(arguments.indexOf("--rounds") + 1)) : 7;
        Path out = Path.of(arguments.get(arguments.indexOf("--out") + 1));
        Files.createDirectories(out);
        Path top = Files.createTempDirectory(out, "tree");
        try {
            int directories = smoke ? 2 : 100;
            make(top, directories, smoke ? 100 : 1000);
            Map<String, Walk> methods = new LinkedHashMap<>();
            methods.put("DirectoryScan.scan, each directory", () -> {
                long count = DirectoryScan.scan(top).size();
                for (int d = 0; d < directories; d++) count += DirectoryScan.scan(top.resolve("d" + d)).size();
                return count;
            });
            methods.put("FileTree.walk", () -> {
                long[] count = {0};
                FileTree.walk(top, new FileTree.Visitor() {
                    public FileTree.Action preVisitDirectory(String path, DirectoryEntry e) {
                        count[0]++;
                        return FileTree.Action.CONTINUE;
                    }

                    public FileTree.Action visitFile(String path, DirectoryEntry e) {
                        count[0] += e.owner().length() > 0 ? 1 : 0;
                        return FileTree.Action.CONTINUE;
                    }
                });
                return count[0] - 1;
            });
            methods.put("Files.walkFileTree + readAttributes(PosixFileAttributes, NOFOLLOW_LINKS), names", () -> {
                long[] count = {0};
                Files.walkFileTree(top, new SimpleFileVisitor<>() {
                    @Override
                    public FileVisitResult preVisitDirectory(Path dir, BasicFileAttributes attrs) throws IOException {
                        return visitFile(dir, attrs);
                    }

                    @Override
                    public FileVisitResult visitFile(Path file, BasicFileAttributes attrs) throws IOException {
                        PosixFileAttributes a = Files.readAttributes(file, PosixFileAttributes.class, NOFOLLOW_LINKS);
                        count[0] += a.owner().getName().length() + a.group().getName().length() > 0 ? 1 : 0;
                        return FileVisitResult.CONTINUE;
                    }
                });
                return count[0] - 1;
            });
            methods.put("find -printf '%m %u %g %l\\n'", () -> command("find", top.toString(), "-printf", "%m %u %g %l\n"));
            methods.put("ls -lR", () -> command("ls", "-lR", top.toString()));
            long entries = methods.get("FileTree.walk").run();
            // Rounds interleave the methods, so that a change in the machine's load falls on all alike.
            Map<String, double[]> perEntry = new LinkedHashMap<>();
            perEntry.put(FLOOR, new double[rounds]);
            methods.keySet().forEach(name -> perEntry.put(name, new double[rounds]));
            for (Walk method : methods.values()) {
                method.run();
            }
            for (int r = 0; r < rounds; r++) {
                perEntry.get(FLOOR)[r] = floor(top, entries);
                for (var method : methods.entrySet()) {
                    long start = System.nanoTime();
                    method.getValue().run();
                    perEntry.get(method.getKey())[r] = (System.nanoTime() - start) / 1000.0 / entries;
                }
            }
            report(out, entries, directories, rounds, perEntry);
        } finally {
            new ProcessBuilder("rm", "-rf", top.toString()).inheritIO().start().waitFor();
        }
    }

    private static void make(Path top, int directories, int perDirectory) throws IOException {
        boolean root = new com.sun.security.auth.module.UnixSystem().getUid() == 0;
        UserPrincipalLookupService lookup = FileSystems.getDefault().getUserPrincipalLookupService();
        for (int d = 0; d < directories; d++) {
            Path dir = Files.createDirectory(top.resolve("d" + d));
            for (int f = 0; f < perDirectory; f++) {
                Path file = dir.resolve("entry-" + f);
                if (f % 100 == 99) {
                    Files.createSymbolicLink(file, Path.of("entry-0"));
                    continue;
                }
                Files.createFile(file);
                if (root && f % 3 == 0) {
                    PosixFileAttributeView view = Files.getFileAttributeView(file, PosixFileAttributeView.class);
                    view.setOwner(lookup.lookupPrincipalByName("daemon"));
                    view.setGroup(lookup.lookupPrincipalByGroupName("bin"));
                }
            }
        }
    }

    private static long command(String... command) throws Exception {
        Process p = new ProcessBuilder(command).redirectOutput(ProcessBuilder.Redirect.DISCARD).start();
        if (p.waitFor() != 0) throw new IllegalStateException(String.join(" ", command) + " failed");
        return 0;
    }

    // One round of the floor, after an untimed one in the same process.
    private static double floor(Path top, long entries) throws Exception {
        Process p = new ProcessBuilder(System.getProperty("nativefile.bench.treefloor"), top.toString(), "2").start();
        List<String> lines = new String(p.getInputStream().readAllBytes()).lines().skip(1).toList();
        if (p.waitFor() != 0 || lines.size() != 1 || Long.parseLong(lines.get(0).split(" ")[0]) != entries) {
            throw new IllegalStateException("the floor saw another tree: " + lines);
        }
        return Long.parseLong(lines.get(0).split(" ")[1]) / 1000.0 / entries;
    }

    private static void report(Path out, long entries, int directories, int rounds, Map<String, double[]> perEntry)
            throws IOException {
        double floor = median(perEntry.get(FLOOR));
        double java = median(perEntry.get("Files.walkFileTree + readAttributes(PosixFileAttributes, NOFOLLOW_LINKS), names"));
        List<String> lines = new ArrayList<>(List.of(
                String.format("Tree: %,d entries in %d directories, warm cache, median of %d interleaved rounds (best in brackets); per round: the median of each round's ratio.", entries,
                        directories, rounds), "",
                "| Method | µs per entry | × floor | × floor, per round | Java's walk ÷ this |", "|---|--:|--:|--:|--:|"));
        double[] floors = perEntry.get(FLOOR);
        perEntry.forEach((name, times) -> lines.add(String.format("| %s | %.3f (%.3f) | %.2f | %.2f | %.1f |", name, median(times),
                Arrays.stream(times).min().orElse(0), median(times) / floor,
                median(IntStream.range(0, times.length).mapToDouble(r -> times[r] / floors[r]).toArray()),
                java / median(times))));
        String text = String.join("\n", lines) + "\n";
        System.out.print(text);
        Files.writeString(out.resolve("trees.md"), text);
    }

    private static double median(double[] values) {
        double[] sorted = values.clone();
        Arrays.sort(sorted);
        return sorted[sorted.length / 2];
    }
}
