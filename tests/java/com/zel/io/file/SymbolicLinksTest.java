package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
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

    /** Makes a link whose stored text is exactly these bytes, whatever the JVM's encoding. */
    private static void linkWithBytes(Path link, byte[] text) {
        StringBuilder escaped = new StringBuilder();
        for (byte b : text) {
            escaped.append(String.format("\\%03o", b & 0xff));
        }
        Child.Result r =
                Child.run(
                        List.of("sh", "-c", "ln -s -- \"$(printf '" + escaped + "')\" \"$1\"", "sh", link.toString()),
                        Map.of());
        assertEquals(0, r.status(), r.err());
    }

    /** The bytes stored in a link, as the system reports them. */
    private static byte[] storedBytes(Path link) {
        Child.Result r = Child.run(List.of("readlink", "-n", "--", link.toString()), Map.of());
        assertEquals(0, r.status(), r.err());
        return r.out().getBytes(StandardCharsets.UTF_8);
    }

    private static Object inode(Path path) throws Exception {
        return Files.getAttribute(path, "unix:ino", LinkOption.NOFOLLOW_LINKS);
    }

    @Nested
    class IsSymLink {
        @Test
        void danglingLinksAndLinksToDirectoriesAreLinks(@TempDir Path dir) throws Exception {
            Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
            Path toDir = Files.createSymbolicLink(dir.resolve("toDir"), Files.createDirectory(dir.resolve("d")));
            assertTrue(UnixNativeFile.isSymLink(dangling.toString()));
            assertTrue(UnixNativeFile.isSymLink(toDir.toString()));
        }

        @Test
        void filesAndDirectoriesAreNot(@TempDir Path dir) throws Exception {
            assertFalse(UnixNativeFile.isSymLink(Files.createFile(dir.resolve("file")).toString()));
            assertFalse(UnixNativeFile.isSymLink(dir.toString()));
        }

        @Test
        void missingPathIsNotFound(@TempDir Path dir) {
            FileNotFoundException e =
                    assertThrows(
                            FileNotFoundException.class,
                            () -> UnixNativeFile.isSymLink(dir.resolve("missing").toString()));
            assertEquals(2, e.getErrno());
        }
    }

    @Nested
    class GetSymLinkValue {
        @Test
        void regularFileIsTheShortGeneralError(@TempDir Path dir) throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            ExtendedIOException e =
                    assertThrows(ExtendedIOException.class, () -> UnixNativeFile.getSymLinkValue(file.toString()));
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals("[ERRNO: 022] MSG: System error occured." + IO_TEXT, e.getMessage());
            assertEquals(22, e.getErrno());
        }

        @Test
        void missingPathIsNotFound(@TempDir Path dir) {
            FileNotFoundException e =
                    assertThrows(
                            FileNotFoundException.class,
                            () -> UnixNativeFile.getSymLinkValue(dir.resolve("missing").toString()));
            assertEquals(
                    "[ERRNO: 002] MSG: File does not exist on system or the file name was too long." + NOT_FOUND_TEXT,
                    e.getMessage());
        }

        @ParameterizedTest
        @ValueSource(strings = {"../up/./x", "sibling", "/abs/olute", "a//b/", " spaced name "})
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

        @Test
        void nonAsciiTextComesBackWhole(@TempDir Path dir) throws Exception {
            Path link = dir.resolve("link");
            linkWithBytes(link, NON_ASCII.getBytes(StandardCharsets.UTF_8));
            assertEquals(NON_ASCII, UnixNativeFile.getSymLinkValue(link.toString()));
        }
    }

    @Nested
    class CreateSymLink {
        @Test
        void linkIsMadeAtTheFirstPathStoringTheSecond(@TempDir Path dir) throws Exception {
            Path real = Files.writeString(dir.resolve("real"), "content");
            Path link = dir.resolve("link");
            UnixNativeFile.createSymLink(link.toString(), real.toString());
            assertTrue(Files.isSymbolicLink(link));
            assertEquals(real, Files.readSymbolicLink(link));
            assertFalse(Files.isSymbolicLink(real));
            assertEquals("content", Files.readString(real));
        }

        @Test
        void missingTargetGivesADanglingLink(@TempDir Path dir) throws Exception {
            Path link = dir.resolve("link");
            UnixNativeFile.createSymLink(link.toString(), "no/such/target");
            assertTrue(Files.isSymbolicLink(link));
            assertFalse(Files.exists(link));
            assertEquals(Path.of("no/such/target"), Files.readSymbolicLink(link));
        }

        @Test
        void nonAsciiTextIsStoredAsUtf8(@TempDir Path dir) throws Exception {
            Path link = dir.resolve("link");
            UnixNativeFile.createSymLink(link.toString(), NON_ASCII);
            assertArrayEquals(NON_ASCII.getBytes(StandardCharsets.UTF_8), storedBytes(link));
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
            assertTrue(Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS));
            assertEquals("kept", Files.readString(file));
            assertTrue(Files.isDirectory(directory, LinkOption.NOFOLLOW_LINKS));
            try (var entries = Files.list(directory)) {
                assertEquals(List.of(directory.resolve("inside")), entries.toList());
            }
            assertEquals(Path.of("elsewhere"), Files.readSymbolicLink(link));
            assertFalse(Files.exists(dir.resolve("other"), LinkOption.NOFOLLOW_LINKS));
        }

        @ParameterizedTest
        @CsvSource({"true, false", "false, true", "true, true"})
        void nullArgumentsCreateNothing(boolean nullLink, boolean nullReal, @TempDir Path dir) throws Exception {
            String link = nullLink ? null : dir.resolve("link").toString();
            String real = nullReal ? null : dir.resolve("real").toString();
            ExtendedIOException e =
                    assertThrows(ExtendedIOException.class, () -> UnixNativeFile.createSymLink(link, real));
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals(
                    "[ERRNO: 000] MSG: filename to link to, and/or from, passed in was NULL." + IO_TEXT,
                    e.getMessage());
            try (var entries = Files.list(dir)) {
                assertEquals(0, entries.count());
            }
        }

        @Test
        void readOnlyFileSystemIsAccessDeniedButAnExistingEntryIsStillDone(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to mount a file system");
            Path ro = Files.createDirectory(dir.resolve("ro"));
            String setup =
                    "mount -t tmpfs tmpfs '" + ro + "'\n"
                            + "touch '" + ro + "/there'\n"
                            + "mount -o remount,ro '" + ro + "'";
            Child.Result r =
                    Child.probe(
                            Child.inPrivateMounts(setup),
                            "createSymLink", ro + "/new", "/target",
                            "--", "createSymLink", ro + "/there", "/target",
                            "--", "isSymLink", ro + "/there");
            assertEquals(
                    List.of(
                            "EX AccessDeniedException [ERRNO: 030] MSG: Could not create the link.  Permission denied."
                                    + DENIED_TEXT,
                            "OK null",
                            "OK false"),
                    r.lines(),
                    r.err());
        }
    }

    @Nested
    class SymlinkDelete {
        @Test
        void missingPathIsNotFound(@TempDir Path dir) {
            FileNotFoundException e =
                    assertThrows(
                            FileNotFoundException.class,
                            () -> UnixNativeFile.symlinkDelete(dir.resolve("missing").toString()));
            assertEquals(
                    "[ERRNO: 002] MSG: Symlink does not exist on system or the symlink name was too long."
                            + NOT_FOUND_TEXT,
                    e.getMessage());
        }

        @Test
        void regularFileIsRemoved(@TempDir Path dir) throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            UnixNativeFile.symlinkDelete(file.toString());
            assertFalse(Files.exists(file, LinkOption.NOFOLLOW_LINKS));
        }

        @Test
        void linkIsRemovedAndItsTargetKept(@TempDir Path dir) throws Exception {
            Path target = Files.writeString(dir.resolve("target"), "kept");
            Path targetDir = Files.createDirectory(dir.resolve("targetDir"));
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            Path dirLink = Files.createSymbolicLink(dir.resolve("dirLink"), targetDir);
            UnixNativeFile.symlinkDelete(link.toString());
            UnixNativeFile.symlinkDelete(dirLink.toString());
            assertFalse(Files.exists(link, LinkOption.NOFOLLOW_LINKS));
            assertFalse(Files.exists(dirLink, LinkOption.NOFOLLOW_LINKS));
            assertEquals("kept", Files.readString(target));
            assertTrue(Files.isDirectory(targetDir, LinkOption.NOFOLLOW_LINKS));
        }

        @Test
        void directoryIsTheGeneralError(@TempDir Path dir) throws Exception {
            Path directory = Files.createDirectory(dir.resolve("directory"));
            ExtendedIOException e =
                    assertThrows(ExtendedIOException.class, () -> UnixNativeFile.symlinkDelete(directory.toString()));
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals("[ERRNO: 021] MSG: Unknown system error occured." + IO_TEXT, e.getMessage());
            assertTrue(Files.isDirectory(directory));
        }

        @Test
        void nullPathIsRejected() {
            ExtendedIOException e = assertThrows(ExtendedIOException.class, () -> UnixNativeFile.symlinkDelete(null));
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals("[ERRNO: 000] MSG: filename passed in was NULL." + IO_TEXT, e.getMessage());
        }

        @Test
        void unwritableDirectoryIsAccessDenied(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to drop to another user");
            Child.openToAll(dir);
            Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of("target"));
            Child.Result r = Child.probe(Child.AS_NOBODY, "symlinkDelete", link.toString());
            assertEquals(
                    "EX AccessDeniedException [ERRNO: 013] MSG: Could not access symlink for removal.  Permission denied."
                            + DENIED_TEXT,
                    r.line());
            assertTrue(Files.isSymbolicLink(link));
        }

        @Test
        void anotherUsersFileInAStickyDirectoryIsTheGeneralError(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to drop to another user");
            Child.openToAll(dir);
            Path sticky = Files.createDirectory(dir.resolve("sticky"));
            assertEquals(0, Child.run(List.of("chmod", "1777", sticky.toString()), Map.of()).status());
            Path file = Files.createFile(sticky.resolve("roots"));
            Child.Result r = Child.probe(Child.AS_NOBODY, "symlinkDelete", file.toString());
            assertEquals("EX ExtendedIOException [ERRNO: 001] MSG: Unknown system error occured." + IO_TEXT, r.line());
            assertTrue(Files.exists(file));
        }
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
