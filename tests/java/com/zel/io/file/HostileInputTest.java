package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertAll;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTimeoutPreemptively;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import com.zel.io.file.exception.InvalidGroupException;
import com.zel.io.file.exception.InvalidUserException;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Duration;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;

/**
 * Input that no caller should send, through the real JVM. Every call must end promptly in a result
 * or one of the library's exceptions, and must leave every other file alone: a sentinel directory
 * and file, which the hostile texts name once cut at a NUL or at 1023 bytes, are compared before
 * and after each test.
 */
class HostileInputTest {
    private static final LinkOption NOFOLLOW = LinkOption.NOFOLLOW_LINKS;
    private static final Duration BOUND = Duration.ofSeconds(60);

    @TempDir Path dir;
    private Path sentinelDir;
    private Path sentinel;
    private Path own;
    private Map<String, Object> before;

    /** Where a hostile text goes: a path, or the user or group string of the ownership setters. */
    enum Kind { PATH, USER, GROUP }

    /** A string parameter of a native method. */
    record Site(String method, int arity, int position, Kind kind) {
        @Override
        public String toString() {
            return method + "#" + position;
        }
    }

    private static final List<Site> SITES = new ArrayList<>();

    static {
        for (String m : List.of("getUserPermissions", "getGroupPermissions", "getWorldPermissions", "isSetGIDBit",
                "isSetUIDBit", "isSetStickyBit", "getFileOwner", "getFileGroup", "isSymLink", "getSymLinkValue",
                "symlinkDelete", "getFreeSpace", "getFileSystemSize")) {
            SITES.add(new Site(m, 1, 0, Kind.PATH));
        }
        for (String m : List.of("setUserPermissions", "setGroupPermissions", "setWorldPermissions", "setGIDBit",
                "setUIDBit", "setStickyBit")) {
            SITES.add(new Site(m, 2, 0, Kind.PATH));
        }
        SITES.add(new Site("setPermissions", 4, 0, Kind.PATH));
        SITES.add(new Site("setFileOwner", 2, 0, Kind.PATH));
        SITES.add(new Site("setFileOwner", 2, 1, Kind.USER));
        SITES.add(new Site("setFileGroup", 2, 0, Kind.PATH));
        SITES.add(new Site("setFileGroup", 2, 1, Kind.GROUP));
        SITES.add(new Site("createSymLink", 2, 0, Kind.PATH));
        SITES.add(new Site("createSymLink", 2, 1, Kind.PATH));
    }

    @BeforeEach
    void sentinels() throws IOException {
        sentinelDir = Files.createDirectory(dir.resolve("sentinel"));
        Files.setPosixFilePermissions(sentinelDir, PosixFilePermissions.fromString("rwxr-x---"));
        sentinel = Files.writeString(sentinelDir.resolve("file"), "sentinel");
        Files.setPosixFilePermissions(sentinel, PosixFilePermissions.fromString("rw-r-----"));
        own = Files.createFile(dir.resolve("own"));
        Files.setPosixFilePermissions(own, PosixFilePermissions.fromString("rw-r--r--"));
        before = state();
    }

    @AfterEach
    void nothingElseChanged() throws IOException {
        assertEquals(before, state(), "a file that no call named changed");
    }

    private Map<String, Object> state() throws IOException {
        Map<String, Object> state = new HashMap<>();
        for (Path p : List.of(sentinelDir, sentinel, own)) {
            state.put(p.getFileName().toString(), Files.readAttributes(p, "unix:mode,uid,gid,ino,size", NOFOLLOW));
        }
        state.put("content", Files.readString(sentinel));
        try (Stream<Path> entries = Files.list(sentinelDir)) {
            state.put("entries", entries.map(Path::toString).sorted().toList());
        }
        state.put("newlink", Files.exists(dir.resolve("newlink"), NOFOLLOW));
        return state;
    }

    /** Calls the site's method with text at its position and harmless values elsewhere. */
    private Object call(Site site, String text) throws Exception {
        List<String> call = new ArrayList<>(List.of(site.method()));
        for (int i = 0; i < site.arity(); i++) {
            boolean twoStrings = site.method().matches("setFile.*|createSymLink");
            if (i == site.position()) {
                call.add(text);
            } else if (i > 0 && !twoStrings) {
                call.add(site.method().startsWith("set") && !site.method().endsWith("Bit") ? "5" : "true");
            } else if (site.method().equals("createSymLink")) {
                call.add(i == 0 ? dir.resolve("newlink").toString() : sentinel.toString());
            } else {
                call.add(i == 0 ? own.toString() : site.method().equals("setFileOwner") ? "nobody" : "nogroup");
            }
        }
        return Probe.invoke(call);
    }

    /**
     * Every site with the text, each ending in the exception that the kind expects: a path the
     * class and errno given, a user or group string the invalid-user or invalid-group exception.
     */
    private void everySiteFails(String text, Class<? extends ExtendedIOException> pathClass, int pathErrno) {
        List<Executable> checks = new ArrayList<>();
        for (Site site : SITES) {
            Class<?> expected = switch (site.kind()) {
                case PATH -> pathClass;
                case USER -> InvalidUserException.class;
                case GROUP -> InvalidGroupException.class;
            };
            int errno = site.kind() == Kind.PATH ? pathErrno : 0;
            checks.add(() -> {
                try {
                    Object result = call(site, text);
                    fail(site + " returned " + result);
                } catch (ExtendedIOException e) {
                    assertEquals(expected, e.getClass(), site + ": " + e.getMessage());
                    assertEquals(errno, e.getErrno(), site + ": " + e.getMessage());
                }
            });
        }
        assertAll(checks.stream());
    }

    private static void within(Executable body) {
        assertTimeoutPreemptively(BOUND, body);
    }

    @Test
    void textsOfAMebibyteAreTooLongAndNeverCut() {
        // Cut anywhere past the sentinel directory's name, the first text names that directory.
        String intoSentinel = sentinelDir + "/" + "./".repeat(512 * 1024);
        String threeByteChars = "€".repeat(1 << 20);
        String supplementary = "\uD83D\uDE00".repeat(1 << 19);
        within(() -> {
            for (String text : List.of(intoSentinel, threeByteChars, supplementary)) {
                everySiteFails(text, FileNotFoundException.class, 36);
            }
            assertInvalid(InvalidUserException.class, "Problems retrieving UID",
                    () -> UnixNativeFile.setFileOwner(own.toString(), "1".repeat(1 << 20)));
            assertInvalid(InvalidUserException.class, "The username passed down",
                    () -> UnixNativeFile.setFileOwner(own.toString(), "nobody".repeat(1 << 18)));
            assertInvalid(InvalidGroupException.class, "Problems retrieving GID",
                    () -> UnixNativeFile.setFileGroup(own.toString(), "0".repeat(1 << 20)));
        });
    }

    private static void assertInvalid(Class<? extends ExtendedIOException> kind, String detail, Executable call) {
        ExtendedIOException e = org.junit.jupiter.api.Assertions.assertThrows(ExtendedIOException.class, call);
        assertEquals(kind, e.getClass(), e.getMessage());
        assertTrue(e.getMessage().startsWith("[ERRNO: 000] MSG: " + detail), e.getMessage());
    }

    @Test
    void nulAndLoneSurrogatesInEveryStringFailAsInvalid() {
        // Cut at the NUL, each text would name the sentinel, or make "nobody" the owner of own.
        within(() -> {
            for (String bad : List.of("\u0000", "\u0000x", "\uD800", "\uDBFF", "\uD800x", "\uDC00", "\uDC7F",
                    "\uDD00", "\uDFFF", "\uDC00\uD800")) {
                everySiteFails(sentinel + bad, ExtendedIOException.class, 22);
                assertInvalid(InvalidUserException.class, "The username passed down",
                        () -> UnixNativeFile.setFileOwner(own.toString(), "nobody" + bad));
                assertInvalid(InvalidGroupException.class, "Problems retrieving GID",
                        () -> UnixNativeFile.setFileGroup(own.toString(), "nogroup" + bad));
            }
        });
    }

    /** Triple values over the whole int range: the edges, and an odd stride that meets every residue. */
    private static List<Integer> tripleValues() {
        List<Integer> values = new ArrayList<>(List.of(Integer.MIN_VALUE, Integer.MIN_VALUE + 1, 7, 8, 15, 16,
                Integer.MAX_VALUE - 1, Integer.MAX_VALUE));
        for (int v = -9; v <= 9; v++) {
            values.add(v);
        }
        for (long v = Integer.MIN_VALUE; v <= Integer.MAX_VALUE; v += (1 << 20) + 1) {
            values.add((int) v);
        }
        return values;
    }

    @Test
    void everyTripleCountsByItsThreeLowBitsOnly() throws Exception {
        Path file = Files.createFile(dir.resolve("triples"));
        String path = file.toString();
        Files.setAttribute(file, "unix:mode", 06755);
        List<Integer> values = tripleValues();
        int n = values.size();
        within(() -> {
            for (int i = 0; i < n; i++) {
                int v = values.get(i);
                int other = values.get((i + 1) % n);
                int third = values.get((i + 7) % n);
                UnixNativeFile.setUserPermissions(path, v);
                assertMode(file, 06000 | (v & 7) << 6 | 055, v);
                assertEquals(v & 7, UnixNativeFile.getUserPermissions(path));
                UnixNativeFile.setGroupPermissions(path, v);
                assertMode(file, 06000 | (v & 7) << 6 | (v & 7) << 3 | 5, v);
                assertEquals(v & 7, UnixNativeFile.getGroupPermissions(path));
                UnixNativeFile.setWorldPermissions(path, v);
                assertMode(file, 06000 | (v & 7) * 0111, v);
                assertEquals(v & 7, UnixNativeFile.getWorldPermissions(path));
                UnixNativeFile.setPermissions(path, other, v, third);
                assertMode(file, 06000 | (other & 7) << 6 | (v & 7) << 3 | (third & 7), v);
                UnixNativeFile.setPermissions(path, 7, 5, 5);
            }
        });
    }

    private static void assertMode(Path file, int expected, int value) {
        if (Child.modeOf(file) != expected) {
            fail(String.format("triple %d (0x%x): mode %o, expected %o", value, value, Child.modeOf(file), expected));
        }
    }

    @Test
    void controlCharactersInNamesAndLinkTextsAreJustBytes() throws Exception {
        List<String> specials = new ArrayList<>();
        for (char c = 1; c < 0x20; c++) {
            specials.add(String.valueOf(c));
        }
        specials.addAll(List.of("\u007F", "\u0085", "\u2028", "\uFEFF", "\u001B[31m"));
        within(() -> {
            for (String special : specials) {
                Path file = Files.createFile(dir.resolve("f" + special + "x"));
                Path link = dir.resolve("l" + special + "x");
                String text = "t" + special + "x";
                String path = file.toString();
                UnixNativeFile.setPermissions(path, 6, 4, 0);
                assertEquals("rw-r-----", PosixFilePermissions.toString(Files.getPosixFilePermissions(file, NOFOLLOW)));
                assertEquals(6, UnixNativeFile.getUserPermissions(path));
                assertEquals("root", UnixNativeFile.getFileOwner(path));
                UnixNativeFile.createSymLink(link.toString(), text);
                assertEquals(text, Files.readSymbolicLink(link).toString());
                assertTrue(UnixNativeFile.isSymLink(link.toString()));
                assertEquals(text, UnixNativeFile.getSymLinkValue(link.toString()));
                UnixNativeFile.symlinkDelete(link.toString());
                UnixNativeFile.symlinkDelete(path);
                assertTrue(Files.notExists(link, NOFOLLOW) && Files.notExists(file, NOFOLLOW), special);
            }
        });
    }

    @Test
    void formatDirectivesInPathsAndNamesAreLoggedLiterally() throws Exception {
        String directives = "%n%n%s%s%x%p%d%.99999999f%*d%%";
        Path file = Files.createFile(dir.resolve(directives));
        Files.setPosixFilePermissions(file, PosixFilePermissions.fromString("rw-r--r--"));
        Path link = dir.resolve("link" + directives);
        String p = file.toString();
        Child.Result r = Child.java(List.of(), Map.of("__JNI_NATIVEFILE_DEBUG", "", "__JNI_NATIVEFILE_ENTRYEXIT", ""),
                List.of(), Probe.class.getName(),
                "setUserPermissions", p, "6", "--",
                "getUserPermissions", p, "--",
                "setFileOwner", p, directives, "--",
                "setFileGroup", p, "0", "--",
                "createSymLink", link.toString(), directives, "--",
                "getSymLinkValue", link.toString(), "--",
                "symlinkDelete", link.toString(), "--",
                "getFreeSpace", p + "/" + directives);
        assertEquals(0, r.status(), r.err());
        List<String> results = r.lines().stream().filter(l -> l.startsWith("OK") || l.startsWith("EX")).toList();
        assertEquals(List.of(
                "OK null",
                "OK 6",
                "EX InvalidUserException [ERRNO: 000] MSG: The username passed down does not appear to exist on the system.  Cannot re-assign. : A file was attempted to be assigned to an invalid user.",
                "OK null",
                "OK null",
                "OK " + directives,
                "OK null",
                "EX FileNotFoundException [ERRNO: 020] MSG: The path does not exist on the system or the path was too long. : The file referenced by this object does not appear to reside on disk."),
                results);
        for (String logged : List.of(
                "STATing file: [" + p + "]",
                "Setting file mode data for file: [" + p + "] to: [0x1a4]",
                "Altering file ownership for file: [" + p + "] to user: [" + directives + "]",
                "Assigning file: [" + p + "] group to be GID: [0]",
                "Creating symbolic link from: [" + link + "] to 'real' file: [" + directives + "]",
                "Reading symlink data from: [" + link + "]",
                "Deleting symbolic link: [" + link + "]",
                "Free disk space query being made using base file path: [" + p + "/" + directives + "]")) {
            assertTrue(r.out().contains("]: " + logged + "\n"), "not logged literally: " + logged + "\n" + r.out());
        }
    }

    /** The library's answer for one call in a probe child: a result or one of its exceptions. */
    private static final java.util.regex.Pattern RESULT = java.util.regex.Pattern.compile(
            "OK .*|EX (ExtendedIOException|AccessDeniedException|FileNotFoundException|InvalidUserException|"
                    + "InvalidGroupException|NotSupportedException) \\[ERRNO: \\d{3}\\] MSG: .*");

    @Test
    void procAndDevPathsAsAnOrdinaryUserGiveResultsOrCleanExceptions() throws Exception {
        assumeTrue(Child.isRoot(), "needs root to drop to another user");
        List<String> paths = List.of("/proc/self/fd/0", "/dev/null", "/dev/stdin", "/proc/1/root", "/proc/1/root/etc",
                "/proc/self/mem", "/proc/self/exe", "/proc/sys/kernel/hostname", "/dev/zero", "/dev/shm", "/proc/self/root");
        Map<String, Object> devNull = Files.readAttributes(Path.of("/dev/null"), "unix:mode,uid,gid", NOFOLLOW);
        List<String> calls = new ArrayList<>();
        for (String path : paths) {
            for (String[] call : new String[][] {
                {"getUserPermissions", path}, {"isSetStickyBit", path}, {"getFileOwner", path}, {"getFileGroup", path},
                {"isSymLink", path}, {"getSymLinkValue", path}, {"getFreeSpace", path}, {"getFileSystemSize", path},
                {"setUserPermissions", path, "7"}, {"setPermissions", path, "0", "0", "0"}, {"setStickyBit", path, "true"},
                {"setUIDBit", path, "true"}, {"setFileOwner", path, "nobody"}, {"setFileGroup", path, "0"},
                {"createSymLink", path, "x"}, {"symlinkDelete", path}}) {
                calls.addAll(List.of(call));
                calls.add("--");
            }
        }
        calls.add("getMountedFileSystems");
        Child.Result r = Child.probe(Child.AS_NOBODY, calls.toArray(String[]::new));
        assertEquals(0, r.status(), r.err());
        List<String> results = r.lines().stream().filter(l -> !l.startsWith("- ")).toList();
        assertEquals(paths.size() * 16 + 1, results.size(), r.out());
        for (String line : results) {
            assertTrue(RESULT.matcher(line).matches(), line);
        }
        // A few answers are certain: the device's own mode, the magic links as links, and refusals.
        int perPath = 16;
        assertEquals("OK 6", results.get(perPath + 0));
        assertEquals("OK true", results.get(6 * perPath + 4));
        assertTrue(results.get(3 * perPath + 5).startsWith("EX AccessDeniedException [ERRNO: 013]"), results.get(3 * perPath + 5));
        assertTrue(results.get(perPath + 8).startsWith("EX ExtendedIOException [ERRNO: 001]"), results.get(perPath + 8));
        assertTrue(results.get(perPath + 12).startsWith("EX AccessDeniedException [ERRNO: 001]"), results.get(perPath + 12));
        assertEquals(devNull, Files.readAttributes(Path.of("/dev/null"), "unix:mode,uid,gid", NOFOLLOW));
    }

    @Test
    void procPathsAsRootAgreeWithJavaNio() throws Exception {
        Path file = Files.createFile(dir.resolve("seen"));
        Files.setPosixFilePermissions(file, PosixFilePermissions.fromString("rwxr-x--x"));
        // Enough ".." to climb from wherever the test runs back to the root.
        String toRoot = "/..".repeat(Path.of("").toAbsolutePath().getNameCount());
        within(() -> {
            for (String path : List.of("/proc/self/root" + file, "/proc/self/cwd" + toRoot + file, "/proc/self/fd/0",
                    "/proc/self/exe", "/dev/null", "/dev/stdout")) {
                int mode = (Integer) Files.getAttribute(Path.of(path), "unix:mode", NOFOLLOW);
                assertEquals((mode >> 6) & 7, UnixNativeFile.getUserPermissions(path), path);
                assertEquals((mode >> 3) & 7, UnixNativeFile.getGroupPermissions(path), path);
                assertEquals(mode & 7, UnixNativeFile.getWorldPermissions(path), path);
                assertEquals(Files.isSymbolicLink(Path.of(path)), UnixNativeFile.isSymLink(path), path);
                if (Files.isSymbolicLink(Path.of(path))) {
                    assertEquals(Files.readSymbolicLink(Path.of(path)).toString(), UnixNativeFile.getSymLinkValue(path), path);
                }
            }
        });
    }

    @Test
    void noCallOpensOrBlocksOnAFifo() throws Exception {
        Path fifo = dir.resolve("fifo");
        Child.Result made = Child.run(List.of("mkfifo", "-m", "644", fifo.toString()), Map.of());
        assertEquals(0, made.status(), made.err());
        Path link = Files.createSymbolicLink(dir.resolve("to-fifo"), fifo);
        String p = fifo.toString();
        within(() -> {
            assertEquals(6, UnixNativeFile.getUserPermissions(p));
            assertEquals(4, UnixNativeFile.getGroupPermissions(p));
            assertEquals(4, UnixNativeFile.getWorldPermissions(p));
            UnixNativeFile.setUserPermissions(p, 7);
            UnixNativeFile.setGroupPermissions(p, 5);
            UnixNativeFile.setWorldPermissions(p, 1);
            assertEquals(0751, Child.modeOf(fifo));
            UnixNativeFile.setPermissions(link.toString(), 0, 0, 0);
            UnixNativeFile.setGIDBit(p, true);
            UnixNativeFile.setUIDBit(p, true);
            UnixNativeFile.setStickyBit(p, true);
            assertEquals(07751, Child.modeOf(fifo));
            assertTrue(UnixNativeFile.isSetGIDBit(p) && UnixNativeFile.isSetUIDBit(p) && UnixNativeFile.isSetStickyBit(p));
            UnixNativeFile.setFileOwner(p, "nobody");
            UnixNativeFile.setFileGroup(p, "nogroup");
            assertEquals("nobody", UnixNativeFile.getFileOwner(p));
            assertEquals("nogroup", UnixNativeFile.getFileGroup(p));
            assertTrue(UnixNativeFile.isSymLink(link.toString()) && !UnixNativeFile.isSymLink(p));
            assertEquals(p, UnixNativeFile.getSymLinkValue(link.toString()));
            ExtendedIOException notLink = org.junit.jupiter.api.Assertions.assertThrows(
                    ExtendedIOException.class, () -> UnixNativeFile.getSymLinkValue(p));
            assertEquals(22, notLink.getErrno());
            UnixNativeFile.createSymLink(p, "elsewhere");
            assertTrue(Files.readAttributes(fifo, java.nio.file.attribute.BasicFileAttributes.class, NOFOLLOW).isOther());
            assertEquals(Files.getFileStore(dir).getTotalSpace(), UnixNativeFile.getFileSystemSize(p));
            assertTrue(UnixNativeFile.getFreeSpace(p) > 0);
            assertTrue(UnixNativeFile.getMountedFileSystems().length > 0);
            UnixNativeFile.symlinkDelete(link.toString());
            UnixNativeFile.symlinkDelete(p);
            assertTrue(Files.notExists(fifo, NOFOLLOW));
        });
    }
}
