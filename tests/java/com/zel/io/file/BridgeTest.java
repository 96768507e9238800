package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.AccessDeniedException;
import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Loading, the log switches and the exceptions, seen from Java. */
class BridgeTest {
    private static final String PREFIX = "Time: \\[0x[0-9a-f]+\\], Thread ID: \\[0x([0-9A-F]{8})\\]: ";
    private static final Pattern STARTUP =
            Pattern.compile(
                    PREFIX + Pattern.quote("Nativefile library initialized.  Build version is: [[TRAVO] V1_20070517]"));

    @Nested
    class Loading {
        @Test
        void loadsFromTheJarAloneWithoutALibraryPath() {
            Child.Result r =
                    Child.java(
                            List.of(),
                            Map.of(),
                            List.of("-Djava.library.path=/nonexistent"),
                            Probe.class.getName(),
                            "isSymLink",
                            "/");
            assertEquals("OK false", r.line());
        }

        @Test
        void namedLibraryFileIsTheOneLoaded() {
            Child.Result r =
                    Child.java(
                            List.of(),
                            Map.of(),
                            List.of("-Dcom.zel.io.file.library=/nonexistent/libNativeFile.so"),
                            Probe.class.getName(),
                            "isSymLink",
                            "/");
            assertTrue(r.status() != 0);
            assertTrue(r.err().contains("/nonexistent/libNativeFile.so"), r.err());
        }
    }

    @Nested
    class LogSwitches {
        private Child.Result runWith(Map<String, String> env) {
            return Child.java(List.of(), env, List.of(), Probe.class.getName(), "isSymLink", "/", "--", "tid");
        }

        @Test
        void neitherVariableMeansSilence() {
            Child.Result r = runWith(Map.of());
            assertEquals(2, r.lines().size(), r.out());
            assertEquals("OK false", r.lines().get(0));
            assertTrue(r.lines().get(1).matches("OK \\d+"), r.out());
        }

        @Test
        void emptyDebugVariableShowsTheBuildLevelAndNoTrace() {
            Child.Result r = runWith(Map.of("__JNI_NATIVEFILE_DEBUG", ""));
            List<String> lines = r.lines();
            var startup = STARTUP.matcher(lines.get(0));
            assertTrue(startup.matches(), lines.get(0));
            assertTrue(lines.stream().anyMatch(l -> l.matches(PREFIX + Pattern.quote("STATing file: [/]"))), r.out());
            assertFalse(r.out().contains("entering:"), r.out());
        }

        @Test
        void entryExitAloneTracesWithTheCallersKernelThreadIdButPrintsNoDebugLine() {
            Child.Result r = runWith(Map.of("__JNI_NATIVEFILE_ENTRYEXIT", ""));
            var m = Pattern.compile(PREFIX + Pattern.quote("> entering: [Java_com_zel_io_file_UnixNativeFile_isSymLink]"))
                    .matcher(r.lines().get(0));
            assertTrue(m.matches(), r.out());
            String tid = r.lines().get(r.lines().size() - 1).substring("OK ".length());
            assertEquals(Long.parseLong(tid), Long.parseLong(m.group(1), 16));
            assertTrue(r.out().contains("< exiting: [Java_com_zel_io_file_UnixNativeFile_isSymLink]\n"));
            assertFalse(r.out().contains("Nativefile library initialized"), r.out());
            assertFalse(r.out().contains("STATing file"), r.out());
        }
    }

    @Nested
    class Exceptions {
        @Test
        void nullPathRaisesTheGeneralErrorWithErrnoZero() {
            ExtendedIOException e = assertThrows(ExtendedIOException.class, () -> UnixNativeFile.isSymLink(null));
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals(
                    "[ERRNO: 000] MSG: filename passed in was NULL. : An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.",
                    e.getMessage());
            assertEquals(0, e.getErrno());
        }

        @Test
        void missingPathIsNotFound(@TempDir Path dir) {
            FileNotFoundException missing =
                    assertThrows(FileNotFoundException.class, () -> UnixNativeFile.isSymLink(dir.resolve("missing").toString()));
            assertEquals(
                    "[ERRNO: 002] MSG: File does not exist on system or the file name was too long. : The file referenced by this object does not appear to reside on disk.",
                    missing.getMessage());
            assertEquals(2, missing.getErrno());
        }

        @Test
        void unsearchableDirectoryIsAccessDenied(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to drop to another user");
            Child.openToAll(dir);
            Path closed = Files.createDirectory(dir.resolve("closed"));
            Files.setPosixFilePermissions(closed, java.nio.file.attribute.PosixFilePermissions.fromString("rwx------"));
            Child.Result r = Child.probe(Child.AS_NOBODY, "isSymLink", closed.resolve("x").toString());
            assertEquals(
                    "EX AccessDeniedException [ERRNO: 013] MSG: Could not query file for information.  Permission denied. : The current user does not have sufficient authority to perform the requested operation.",
                    r.line());
        }

        @ParameterizedTest
        @CsvSource({
            "'[ERRNO: 013] MSG: x', 13",
            "'[ERRNO: 1234] MSG: x', 1234",
            "'[ERRNO: -001] MSG: x', -1",
            "'no prefix', 0"
        })
        void errnoIsReadFromTheMessage(String message, int errno) {
            assertEquals(errno, new AccessDeniedException(message).getErrno());
        }
    }
}
