package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** Permission triples and special mode bits on real files. */
class ModeBitsTest {
    private static final String IO_TEXT =
            "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
    private static final String NOT_FOUND_TEXT =
            "The file referenced by this object does not appear to reside on disk.";
    private static final String DENIED_TEXT =
            "The current user does not have sufficient authority to perform the requested operation.";

    private static final int EPERM = 1;
    private static final int ENOENT = 2;
    private static final int EACCES = 13;
    private static final int ENOTDIR = 20;
    private static final int EROFS = 30;
    private static final int ENAMETOOLONG = 36;
    private static final int EOPNOTSUPP = 95;

    static String message(int errno, String detail, String standardText) {
        return String.format("[ERRNO: %03d] MSG: %s : %s", errno, detail, standardText);
    }

    static String notFound(int errno) {
        return message(
                errno, "File does not exist on system or the file name was too long.", NOT_FOUND_TEXT);
    }

    static String unknown(int errno) {
        return message(errno, "Unknown system error occured.", IO_TEXT);
    }

    /** The mode of the path itself with its special bits, read without this library. */
    static int modeOf(Path path) throws IOException {
        return (Integer) Files.getAttribute(path, "unix:mode", LinkOption.NOFOLLOW_LINKS) & 07777;
    }

    static Path file(Path dir, String name, int mode) throws IOException {
        Path path = Files.createFile(dir.resolve(name));
        Files.setAttribute(path, "unix:mode", mode);
        return path;
    }

    @FunctionalInterface
    interface PathCall {
        void on(String path) throws ExtendedIOException;
    }

    /** The seven methods that write a mode back, each asking for a change. */
    static Stream<Named<PathCall>> setters() {
        return Stream.of(
                Named.of("setUserPermissions", p -> UnixNativeFile.setUserPermissions(p, 7)),
                Named.of("setGroupPermissions", p -> UnixNativeFile.setGroupPermissions(p, 7)),
                Named.of("setWorldPermissions", p -> UnixNativeFile.setWorldPermissions(p, 7)),
                Named.of("setPermissions", p -> UnixNativeFile.setPermissions(p, 7, 7, 7)),
                Named.of("setGIDBit", p -> UnixNativeFile.setGIDBit(p, true)),
                Named.of("setUIDBit", p -> UnixNativeFile.setUIDBit(p, true)),
                Named.of("setStickyBit", p -> UnixNativeFile.setStickyBit(p, true)));
    }

    /** All thirteen methods of the family. */
    static Stream<Named<PathCall>> everyMethod() {
        Stream<Named<PathCall>> queries =
                Stream.of(
                        Named.of("getUserPermissions", UnixNativeFile::getUserPermissions),
                        Named.of("getGroupPermissions", UnixNativeFile::getGroupPermissions),
                        Named.of("getWorldPermissions", UnixNativeFile::getWorldPermissions),
                        Named.of("isSetGIDBit", UnixNativeFile::isSetGIDBit),
                        Named.of("isSetUIDBit", UnixNativeFile::isSetUIDBit),
                        Named.of("isSetStickyBit", UnixNativeFile::isSetStickyBit));
        return Stream.concat(queries, setters());
    }

    /** The same seven setters as calls of a child JVM's probe, on one path. */
    static List<String> setterProbes(Path path) {
        String p = path.toString();
        List<List<String>> calls =
                List.of(
                        List.of("setUserPermissions", p, "7"),
                        List.of("setGroupPermissions", p, "7"),
                        List.of("setWorldPermissions", p, "7"),
                        List.of("setPermissions", p, "7", "7", "7"),
                        List.of("setGIDBit", p, "true"),
                        List.of("setUIDBit", p, "true"),
                        List.of("setStickyBit", p, "true"));
        List<String> args = new ArrayList<>();
        for (List<String> call : calls) {
            args.addAll(call);
            args.add("--");
        }
        return args;
    }

    /** Runs the probe in a private mount namespace; skips where the platform refuses one. */
    static Child.Result inPrivateMounts(String setup, List<String> calls) {
        assumeTrue(Child.isRoot(), "needs root for a private mount namespace");
        Child.Result r = Child.probe(Child.inPrivateMounts(setup), calls.toArray(String[]::new));
        assumeTrue(
                r.status() == 0 || !r.err().contains("unshare failed"),
                "the platform refuses a private mount namespace: " + r.err());
        return r;
    }

    @Nested
    class Queries {
        @ParameterizedTest(name = "mode {0} gives {1} {2} {3}")
        @CsvSource({"754, 7, 5, 4", "4711, 7, 1, 1", "0, 0, 0, 0", "6070, 0, 7, 0", "1007, 0, 0, 7"})
        void triplesAreTheOctalDigitsWithoutSpecialBits(
                String octal, int user, int group, int world, @TempDir Path dir) throws Exception {
            String f = file(dir, "f", Integer.parseInt(octal, 8)).toString();
            assertEquals(user, UnixNativeFile.getUserPermissions(f));
            assertEquals(group, UnixNativeFile.getGroupPermissions(f));
            assertEquals(world, UnixNativeFile.getWorldPermissions(f));
        }

        @Test
        void specialBitsOfAStickyDirectoryAndASetIdFile(@TempDir Path dir) throws Exception {
            Path sticky = Files.createDirectory(dir.resolve("sticky"));
            Files.setAttribute(sticky, "unix:mode", 01777);
            assertTrue(UnixNativeFile.isSetStickyBit(sticky.toString()));
            assertFalse(UnixNativeFile.isSetUIDBit(sticky.toString()));
            assertFalse(UnixNativeFile.isSetGIDBit(sticky.toString()));

            String setId = file(dir, "setid", 06755).toString();
            assertTrue(UnixNativeFile.isSetUIDBit(setId));
            assertTrue(UnixNativeFile.isSetGIDBit(setId));
            assertFalse(UnixNativeFile.isSetStickyBit(setId));
        }

        @Test
        void aLinkReportsItsOwnBitsAndMayDangle(@TempDir Path dir) throws Exception {
            Path target = file(dir, "target", 06400);
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
            for (Path p : List.of(link, dangling)) {
                String s = p.toString();
                assertEquals(7, UnixNativeFile.getUserPermissions(s), s);
                assertEquals(7, UnixNativeFile.getGroupPermissions(s), s);
                assertEquals(7, UnixNativeFile.getWorldPermissions(s), s);
                assertFalse(UnixNativeFile.isSetUIDBit(s), s);
                assertFalse(UnixNativeFile.isSetGIDBit(s), s);
            }
        }

        @ParameterizedTest
        @MethodSource("com.zel.io.file.ModeBitsTest#everyMethod")
        void missingPathsAreNotFoundWithTheirErrno(PathCall method, @TempDir Path dir) throws Exception {
            Path file = file(dir, "file", 0644);
            Map<String, Integer> cases =
                    Map.of(
                            dir.resolve("missing").toString(), ENOENT,
                            file + "/below", ENOTDIR,
                            dir.resolve("n".repeat(300)).toString(), ENAMETOOLONG);
            for (Map.Entry<String, Integer> c : cases.entrySet()) {
                FileNotFoundException e =
                        assertThrows(FileNotFoundException.class, () -> method.on(c.getKey()));
                assertEquals(notFound(c.getValue()), e.getMessage());
                assertEquals(c.getValue(), e.getErrno());
            }
            assertEquals(0644, modeOf(file));
        }
    }

    @Nested
    class Changes {
        @ParameterizedTest(name = "{0} 6 on 755 gives {1}")
        @CsvSource({"user, 655", "group, 765", "world, 756"})
        void oneClassTakesTheTripleAndTheOthersStay(String who, String expected, @TempDir Path dir)
                throws Exception {
            Path f = file(dir, "f", 0755);
            switch (who) {
                case "user" -> UnixNativeFile.setUserPermissions(f.toString(), 6);
                case "group" -> UnixNativeFile.setGroupPermissions(f.toString(), 6);
                default -> UnixNativeFile.setWorldPermissions(f.toString(), 6);
            }
            assertEquals(Integer.parseInt(expected, 8), modeOf(f));
        }

        @ParameterizedTest(name = "triple {0} on 700 gives group {1}")
        @CsvSource({"0, 0", "7, 7", "5, 5", "8, 0", "15, 7", "-1, 7", "-8, 0", "2147483647, 7"})
        void onlyTheThreeLowBitsOfATripleCount(int triple, int group, @TempDir Path dir) throws Exception {
            Path f = file(dir, "f", 0700);
            UnixNativeFile.setGroupPermissions(f.toString(), triple);
            assertEquals(0700 | group << 3, modeOf(f));
        }

        @Test
        void allThreeClassesAtOnceKeepTheSpecialBits(@TempDir Path dir) throws Exception {
            Path f = file(dir, "f", 04711);
            UnixNativeFile.setPermissions(f.toString(), 7, 5, 0);
            assertEquals(04750, modeOf(f));
        }
    }

    @Nested
    class SpecialBits {
        @Test
        void settingAndClearingOneBitMovesNoOther(@TempDir Path dir) throws Exception {
            Path f = file(dir, "f", 0755);
            UnixNativeFile.setUIDBit(f.toString(), true);
            assertEquals(04755, modeOf(f));
            UnixNativeFile.setGIDBit(f.toString(), true);
            assertEquals(06755, modeOf(f));
            UnixNativeFile.setUIDBit(f.toString(), false);
            assertEquals(02755, modeOf(f));

            Path d = Files.createDirectory(dir.resolve("d"));
            Files.setAttribute(d, "unix:mode", 0777);
            UnixNativeFile.setStickyBit(d.toString(), true);
            assertEquals(01777, modeOf(d));
            UnixNativeFile.setStickyBit(d.toString(), false);
            assertEquals(0777, modeOf(d));
        }

        @Test
        void clearingABitThatIsNotSetRaisesNothing(@TempDir Path dir) throws Exception {
            Path f = file(dir, "f", 0644);
            UnixNativeFile.setGIDBit(f.toString(), false);
            assertEquals(0644, modeOf(f));
        }
    }

    @Nested
    class Links {
        @ParameterizedTest
        @MethodSource("com.zel.io.file.ModeBitsTest#setters")
        void settersLeaveALinkAndItsTargetAlone(PathCall setter, @TempDir Path dir) throws Exception {
            Path target = file(dir, "target", 0600);
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
            setter.on(link.toString());
            setter.on(dangling.toString());
            assertEquals(0600, modeOf(target));
            assertEquals(0777, modeOf(link));
            assertEquals(target, Files.readSymbolicLink(link));
        }
    }

    @Nested
    class NullPath {
        @ParameterizedTest
        @MethodSource("com.zel.io.file.ModeBitsTest#everyMethod")
        void raisesTheGeneralErrorWithErrnoZero(PathCall method) {
            ExtendedIOException e = assertThrows(ExtendedIOException.class, () -> method.on(null));
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals(message(0, "filename passed in was NULL.", IO_TEXT), e.getMessage());
            assertEquals(0, e.getErrno());
        }
    }

    /** Cases that need a caller without privileges; as root they run as nobody in a child JVM. */
    @Nested
    class Unprivileged {
        private Child.Result asUnprivileged(List<String> calls) {
            List<String> prefix = Child.isRoot() ? Child.AS_NOBODY : List.of();
            return Child.probe(prefix, calls.toArray(String[]::new));
        }

        @Test
        void unsearchableDirectoryDeniesTheQueryStage(@TempDir Path dir) throws Exception {
            Child.openToAll(dir);
            Path closed = Files.createDirectory(dir.resolve("closed"));
            file(closed, "f", 0644);
            Files.setAttribute(closed, "unix:mode", 0);
            String f = closed.resolve("f").toString();
            List<String> calls =
                    new ArrayList<>(List.of("getUserPermissions", f, "--", "isSetUIDBit", f, "--"));
            calls.addAll(setterProbes(closed.resolve("f")));
            String denied =
                    "EX AccessDeniedException "
                            + message(
                                    EACCES,
                                    "Could not query file for information.  Permission denied.",
                                    DENIED_TEXT);
            Child.Result r;
            try {
                r = asUnprivileged(calls);
            } finally {
                Files.setAttribute(closed, "unix:mode", 0700);
            }
            assertEquals(9, r.lines().size(), r.out() + r.err());
            r.lines().forEach(line -> assertEquals(denied, line));
            assertEquals(0644, modeOf(closed.resolve("f")));
        }

        @Test
        void changingSomeoneElsesFileIsTheGeneralError(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to own a file that another user then changes");
            Child.openToAll(dir);
            Path f = file(dir, "f", 0644);
            List<String> calls = new ArrayList<>(List.of("getUserPermissions", f.toString(), "--"));
            calls.addAll(setterProbes(f));
            Child.Result r = asUnprivileged(calls);
            assertEquals(8, r.lines().size(), r.out() + r.err());
            assertEquals("OK 6", r.lines().get(0));
            String refused = "EX ExtendedIOException " + unknown(EPERM);
            r.lines().subList(1, 8).forEach(line -> assertEquals(refused, line));
            assertEquals(0644, modeOf(f));
        }
    }

    @Nested
    class ReadOnlyFileSystem {
        @Test
        void changesRaiseTheGeneralErrorAndQueriesStillWork(@TempDir Path dir) throws Exception {
            Path ro = Files.createDirectory(dir.resolve("ro"));
            String setup =
                    "mount -t tmpfs -o size=1m tmpfs '"
                            + ro
                            + "' && touch '"
                            + ro
                            + "/f' && chmod 640 '"
                            + ro
                            + "/f' && mount -o remount,ro '"
                            + ro
                            + "'";
            List<String> calls = new ArrayList<>(List.of("getGroupPermissions", ro + "/f", "--"));
            calls.addAll(setterProbes(ro.resolve("f")));
            Child.Result r = inPrivateMounts(setup, calls);
            assertEquals(8, r.lines().size(), r.out() + r.err());
            assertEquals("OK 4", r.lines().get(0));
            String readOnly = "EX ExtendedIOException " + unknown(EROFS);
            r.lines().subList(1, 8).forEach(line -> assertEquals(readOnly, line));
        }
    }

    /** The write-back never follows a link, and never takes a regular file for one. */
    @Nested
    class NoFollow {
        private static final int ROUNDS = 3000;

        @Test
        void aLinkSwappedInBetweenNeverChangesItsTarget(@TempDir Path dir) throws Exception {
            Path sentinel = file(dir, "sentinel", 0600);
            Path swapped = file(dir, "swapped", 0600);
            AtomicBoolean stop = new AtomicBoolean();
            AtomicInteger swaps = new AtomicInteger();
            List<PathCall> calls = setters().map(Named::getPayload).toList();
            Map<String, Integer> outcomes = new TreeMap<>();
            ExecutorService executor = Executors.newSingleThreadExecutor();
            try {
                Future<?> swapping =
                        executor.submit(
                                () -> {
                                    swap(swapped, sentinel, stop, swaps);
                                    return null;
                                });
                while (swaps.get() == 0 && !swapping.isDone()) {
                    Thread.onSpinWait();
                }
                for (int round = 0; round < ROUNDS; round++) {
                    for (PathCall call : calls) {
                        outcomes.merge(outcome(call, swapped.toString()), 1, Integer::sum);
                    }
                }
                stop.set(true);
                swapping.get();
            } finally {
                stop.set(true);
                executor.shutdown();
            }
            assertEquals(0600, modeOf(sentinel), "outcomes " + outcomes);
            // A link seen by the change but gone again by the check after it is
            // reported as the refusal it was.
            outcomes.remove("ExtendedIOException " + unknown(EOPNOTSUPP));
            outcomes.remove("OK");
            assertEquals(Map.of(), outcomes);
        }

        /** Swaps the path between a regular file and a link to the sentinel until stopped. */
        private static void swap(Path path, Path sentinel, AtomicBoolean stop, AtomicInteger swaps)
                throws IOException {
            Path spareLink = path.resolveSibling("spare-link");
            Path spareFile = path.resolveSibling("spare-file");
            while (!stop.get()) {
                Files.createSymbolicLink(spareLink, sentinel);
                Files.move(spareLink, path, StandardCopyOption.ATOMIC_MOVE);
                Files.createFile(spareFile);
                Files.move(spareFile, path, StandardCopyOption.ATOMIC_MOVE);
                swaps.incrementAndGet();
            }
        }

        private String outcome(PathCall call, String path) {
            try {
                call.on(path);
                return "OK";
            } catch (ExtendedIOException e) {
                return e.getClass().getSimpleName() + " " + e.getMessage();
            }
        }

        @Test
        void aRegularFileIsChangedWithoutProcMounted(@TempDir Path dir) throws Exception {
            Path f = file(dir, "f", 0755);
            List<String> calls = new ArrayList<>(setterProbes(f));
            calls.addAll(List.of("setGroupPermissions", f.toString(), "0"));
            Child.Result r = inPrivateMounts("mount -t tmpfs none /proc/$$/fd", calls);
            assertEquals(Collections.nCopies(8, "OK null"), r.lines(), r.err());
            assertEquals(07707, modeOf(f));
        }
    }
}
