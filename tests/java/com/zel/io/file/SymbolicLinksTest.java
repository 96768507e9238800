package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/** Testing, reading, creating and deleting symbolic links on real files. */
class SymbolicLinksTest {
    private static final String IO_TEXT =
            " : An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
    private static final String DENIED_TEXT =
            " : The current user does not have sufficient authority to perform the requested operation.";
    private static final String NOT_FOUND_TEXT =
            " : The file referenced by this object does not appear to reside on disk.";
    private static final String NON_ASCII = "ünïcødé/目标";
    private static final LinkOption NOFOLLOW = LinkOption.NOFOLLOW_LINKS;

    /** Makes a link whose stored text is exactly these bytes, whatever the JVM's encoding. */
    private static void linkWithBytes(Path link, byte[] text) {
        StringBuilder escaped = new StringBuilder();
        for (byte b : text) {
            escaped.append(String.format("\\%03o", b & 0xff));
        }
        Child.Result r = Child.run(
                List.of("sh", "-c", "ln -s -- \"$(printf '" + escaped + "')\" \"$1\"", "sh", link.toString()), Map.of());
        assertEquals(0, r.status(), r.err());
    }

    /** The bytes stored in a link, as the system reports them. */
    private static byte[] storedBytes(Path link) {
        Child.Result r = Child.run(List.of("readlink", "-n", "--", link.toString()), Map.of());
        assertEquals(0, r.status(), r.err());
        return r.out().getBytes(StandardCharsets.UTF_8);
    }

    private static Object inode(Path path) throws Exception {
        return Files.getAttribute(path, "unix:ino", NOFOLLOW);
    }

    @Test
    void eachMethodOnEachKindOfEntry(@TempDir Path dir) throws Exception {
        Path file = Files.writeString(dir.resolve("file"), "kept");
        Path directory = Files.createDirectory(dir.resolve("d"));
        Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
        Path toDir = Files.createSymbolicLink(dir.resolve("toDir"), directory);
        Path toFile = Files.createSymbolicLink(dir.resolve("toFile"), file);
        String missing = dir.resolve("missing").toString();
        String[][] rows = {
            {"isSymLink", dangling.toString(), "OK true"},
            {"isSymLink", toDir.toString(), "OK true"},
            {"isSymLink", file.toString(), "OK false"},
            {"isSymLink", directory.toString(), "OK false"},
            {"getSymLinkValue", file.toString(), "EX ExtendedIOException [ERRNO: 022] MSG: System error occured." + IO_TEXT},
            {"getSymLinkValue", missing, "EX FileNotFoundException [ERRNO: 002] MSG: "
                    + "File does not exist on system or the file name was too long." + NOT_FOUND_TEXT},
            {"symlinkDelete", missing, "EX FileNotFoundException [ERRNO: 002] MSG: "
                    + "Symlink does not exist on system or the symlink name was too long." + NOT_FOUND_TEXT},
            {"symlinkDelete", toFile.toString(), "OK null"},
            {"symlinkDelete", toDir.toString(), "OK null"},
        };
        for (String[] row : rows) {
            assertEquals(row[2], Probe.line(row[0], row[1]), row[0] + " " + row[1]);
        }
        assertTrue(Probe.line("isSymLink", missing).startsWith("EX FileNotFoundException [ERRNO: 002] "));
        assertFalse(Files.exists(toFile, NOFOLLOW) || Files.exists(toDir, NOFOLLOW));
        assertEquals("kept", Files.readString(file));
        assertTrue(Files.isDirectory(directory, NOFOLLOW));
        assertEquals("OK null", Probe.line("symlinkDelete", file.toString()));
        assertFalse(Files.exists(file, NOFOLLOW), "a regular file is removed too");
    }

    @ParameterizedTest
    @ValueSource(strings = {"../up/./x", "sibling", "/abs/olute", "a//b/", " spaced name ", NON_ASCII})
    void storedTextIsReturnedUnresolved(String text, @TempDir Path dir) throws Exception {
        Path link = Files.createDirectory(dir.resolve("sub")).resolve("link");
        linkWithBytes(link, text.getBytes(StandardCharsets.UTF_8));
        assertEquals(text, UnixNativeFile.getSymLinkValue(link.toString()));
    }

    @ParameterizedTest
    @CsvSource({"1022, 1022", "1023, 1023", "1024, 1023", "4095, 1023"})
    void longTextsKeepTheirFirst1023Bytes(int length, int kept, @TempDir Path dir) throws Exception {
        String text = "0123456789abcde/".repeat(256).substring(0, length);
        Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of(text));
        assertEquals(text.substring(0, kept), UnixNativeFile.getSymLinkValue(link.toString()));
    }

    @Nested
    class CreateSymLink {
        @Test
        void linkIsMadeAtTheFirstPathStoringTheSecondAsItsUtf8Bytes(@TempDir Path dir) throws Exception {
            Path real = Files.writeString(dir.resolve("real"), "content");
            for (String text : List.of(real.toString(), "no/such/target", NON_ASCII)) {
                Path link = dir.resolve("link" + text.length());
                UnixNativeFile.createSymLink(link.toString(), text);
                assertArrayEquals(text.getBytes(StandardCharsets.UTF_8), storedBytes(link), text);
            }
            assertFalse(Files.isSymbolicLink(real));
            assertEquals("content", Files.readString(real));
        }

        @Test
        void existingEntriesAreLeftAsTheyAre(@TempDir Path dir) throws Exception {
            Path file = Files.writeString(dir.resolve("file"), "kept");
            Path directory = Files.createDirectory(dir.resolve("directory"));
            Files.createFile(directory.resolve("inside"));
            Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of("elsewhere"));
            List<Object> inodes = List.of(inode(file), inode(directory), inode(link));
            for (Path existing : List.of(file, directory, link)) {
                UnixNativeFile.createSymLink(existing.toString(), dir.resolve("other").toString());
            }
            assertEquals(inodes, List.of(inode(file), inode(directory), inode(link)));
            assertEquals("kept", Files.readString(file));
            try (var entries = Files.list(directory)) {
                assertEquals(List.of(directory.resolve("inside")), entries.toList());
            }
            assertEquals(Path.of("elsewhere"), Files.readSymbolicLink(link));
            assertFalse(Files.exists(dir.resolve("other"), NOFOLLOW));
        }

        @Test
        void nullArgumentsCreateNothing(@TempDir Path dir) throws Exception {
            String link = dir.resolve("link").toString();
            String real = dir.resolve("real").toString();
            for (String[] args : List.of(new String[] {Probe.NULL, real}, new String[] {link, Probe.NULL},
                    new String[] {Probe.NULL, Probe.NULL})) {
                assertEquals("EX ExtendedIOException [ERRNO: 000] MSG: filename to link to, and/or from, passed in was NULL."
                        + IO_TEXT, Probe.line("createSymLink", args[0], args[1]));
            }
            try (var entries = Files.list(dir)) {
                assertEquals(0, entries.count());
            }
        }

        @Test
        void readOnlyFileSystemIsAccessDeniedButAnExistingEntryIsStillDone(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to mount a file system");
            Path ro = Files.createDirectory(dir.resolve("ro"));
            String setup = String.format("mount -t tmpfs tmpfs '%1$s'\ntouch '%1$s/there'\nmount -o remount,ro '%1$s'", ro);
            Child.Result r = Child.probe(Child.inPrivateMounts(setup),
                    "createSymLink", ro + "/new", "/target", "--", "createSymLink", ro + "/there", "/target",
                    "--", "isSymLink", ro + "/there");
            assertEquals(List.of("EX AccessDeniedException [ERRNO: 030] MSG: Could not create the link.  Permission denied."
                    + DENIED_TEXT, "OK null", "OK false"), r.lines(), r.err());
        }
    }

    /** As nobody: no removal in root's directory (EACCES), nor of root's file in a sticky one (EPERM). */
    @Test
    void anUnprivilegedCallerCannotDelete(@TempDir Path dir) throws Exception {
        assumeTrue(Child.isRoot(), "needs root to drop to another user");
        Child.openToAll(dir);
        Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of("target"));
        Path sticky = Files.createDirectory(dir.resolve("sticky"));
        Files.setAttribute(sticky, "unix:mode", 01777);
        Path file = Files.createFile(sticky.resolve("roots"));
        Child.Result r = Child.probe(Child.AS_NOBODY, "symlinkDelete", link.toString(), "--", "symlinkDelete", file.toString());
        assertEquals(List.of(
                "EX AccessDeniedException [ERRNO: 013] MSG: Could not access symlink for removal.  Permission denied." + DENIED_TEXT,
                "EX ExtendedIOException [ERRNO: 001] MSG: Unknown system error occured." + IO_TEXT), r.lines(), r.err());
        assertTrue(Files.isSymbolicLink(link) && Files.exists(file));
    }

    @Nested
    class Concurrency {
        @Test
        void twoThreadsCreatingTheSameLinkBothSucceed(@TempDir Path dir) throws Exception {
            int rounds = 500;
            CyclicBarrier start = new CyclicBarrier(2);
            ExecutorService pool = Executors.newFixedThreadPool(2);
            try {
                List<Future<?>> runs = new ArrayList<>();
                for (String target : List.of("first", "second")) {
                    runs.add(
                            pool.submit(
                                    () -> {
                                        for (int i = 0; i < rounds; i++) {
                                            start.await(30, TimeUnit.SECONDS);
                                            UnixNativeFile.createSymLink(dir.resolve("link" + i).toString(), target);
                                        }
                                        return null;
                                    }));
                }
                for (Future<?> run : runs) {
                    run.get(120, TimeUnit.SECONDS);
                }
            } finally {
                pool.shutdownNow();
            }
            for (int i = 0; i < rounds; i++) {
                Path link = dir.resolve("link" + i);
                assertTrue(Set.of(Path.of("first"), Path.of("second")).contains(Files.readSymbolicLink(link)), link::toString);
            }
            try (var entries = Files.list(dir)) {
                assertEquals(rounds, entries.count());
            }
        }
    }
}
