package com.zel.io.file;

import static com.zel.io.file.Child.modeOf;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.stream.Stream;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Permission triples and special mode bits on real files. */
class ModeBitsTest {
    private static final String IO_TEXT =
            "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
    private static final String DENIED_TEXT =
            "The current user does not have sufficient authority to perform the requested operation.";

    static String message(int errno, String detail, String standardText) {
        return String.format("[ERRNO: %03d] MSG: %s : %s", errno, detail, standardText);
    }

    static String unknown(int errno) {
        return "EX ExtendedIOException " + message(errno, "Unknown system error occured.", IO_TEXT);
    }

    static Path file(Path dir, String name, int mode) throws IOException {
        Path path = dir.resolve(name);
        if (!Files.exists(path)) {
            Files.createFile(path);
        }
        Files.setAttribute(path, "unix:mode", mode);
        return path;
    }

    static final List<String> QUERIES =
            List.of("getUserPermissions", "getGroupPermissions", "getWorldPermissions",
                    "isSetGIDBit", "isSetUIDBit", "isSetStickyBit");

    /** The seven methods that write a mode back, each asking for a change: name, then arguments. */
    static final List<List<String>> SETTERS =
            List.of(List.of("setUserPermissions", "7"), List.of("setGroupPermissions", "7"),
                    List.of("setWorldPermissions", "7"), List.of("setPermissions", "7", "7", "7"),
                    List.of("setGIDBit", "true"), List.of("setUIDBit", "true"), List.of("setStickyBit", "true"));

    /** A setter's call on a path, as Probe takes it. */
    static String[] call(List<String> setter, String path) {
        List<String> call = new ArrayList<>(setter);
        call.add(1, path);
        return call.toArray(String[]::new);
    }

    /** The given queries, then every setter, on one path, as one child's probe arguments. */
    static String[] probes(Path path, String... queries) {
        List<String> args = new ArrayList<>();
        Stream.concat(Stream.of(queries).map(q -> new String[] {q, path.toString()}),
                        SETTERS.stream().map(s -> call(s, path.toString())))
                .forEach(c -> {
                    args.addAll(List.of(c));
                    args.add("--");
                });
        return args.toArray(String[]::new);
    }

    @Nested
    class Queries {
        @ParameterizedTest(name = "mode {0} gives {1}")
        @CsvSource({"754, 7 5 4 false false false", "4711, 7 1 1 false true false", "0, 0 0 0 false false false",
                "6070, 0 7 0 true true false", "1007, 0 0 7 false false true"})
        void triplesAreTheOctalDigitsAndTheBitsTheSpecialOnes(String octal, String expected, @TempDir Path dir)
                throws Exception {
            String f = file(dir, "f", Integer.parseInt(octal, 8)).toString();
            assertEquals(expected, String.join(" ", QUERIES.stream().map(q -> Probe.line(q, f).substring(3)).toList()));
        }

        @Test
        void aStickyDirectoryAndALinkThatReportsItsOwnBitsAndMayDangle(@TempDir Path dir) throws Exception {
            Path sticky = Files.createDirectory(dir.resolve("sticky"));
            Files.setAttribute(sticky, "unix:mode", 01777);
            assertEquals("OK true", Probe.line("isSetStickyBit", sticky.toString()));
            Path target = file(dir, "target", 06400);
            for (Path p : List.of(Files.createSymbolicLink(dir.resolve("link"), target),
                    Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing")))) {
                assertEquals(List.of("OK 7", "OK 7", "OK 7", "OK false", "OK false", "OK false"),
                        QUERIES.stream().map(q -> Probe.line(q, p.toString())).toList());
            }
        }

        @Test
        void missingPathsAreNotFoundWithTheirErrnoForEveryMethod(@TempDir Path dir) throws Exception {
            Path file = file(dir, "file", 0644);
            Map<String, Integer> cases = Map.of(dir.resolve("missing").toString(), 2, file + "/below", 20);
            cases.forEach((path, errno) -> {
                String notFound = "EX FileNotFoundException " + message(errno,
                        "File does not exist on system or the file name was too long.",
                        "The file referenced by this object does not appear to reside on disk.");
                QUERIES.forEach(q -> assertEquals(notFound, Probe.line(q, path), q));
                SETTERS.forEach(s -> assertEquals(notFound, Probe.line(call(s, path)), s.get(0)));
            });
            assertEquals(0644, modeOf(file));
        }
    }

    @ParameterizedTest(name = "{1} on {0} gives {2}")
    @CsvSource({
        "755, setUserPermissions 6, 655", "755, setGroupPermissions 6, 765", "755, setWorldPermissions 6, 756",
        "4711, setPermissions 7 5 0, 4750", "755, setUIDBit true, 4755", "4755, setGIDBit true, 6755",
        "6755, setUIDBit false, 2755", "644, setGIDBit false, 644",
        "d777, setStickyBit true, 1777", "d1777, setStickyBit false, 777"
    })
    void eachChangeMovesItsOwnBitsAndNoOther(String start, String change, String expected, @TempDir Path dir)
            throws Exception {
        Path f = start.startsWith("d") ? Files.createDirectory(dir.resolve("d")) : dir.resolve("f");
        file(dir, f.getFileName().toString(), Integer.parseInt(start.replace("d", ""), 8));
        String[] words = change.split(" ");
        assertEquals("OK null", Probe.line(call(List.of(words), f.toString())));
        assertEquals(Integer.parseInt(expected, 8), modeOf(f));
    }

    @Test
    void settersLeaveALinkAndItsTargetAlone(@TempDir Path dir) throws Exception {
        Path target = file(dir, "target", 0600);
        Path link = Files.createSymbolicLink(dir.resolve("link"), target);
        Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
        for (List<String> setter : SETTERS) {
            assertEquals("OK null", Probe.line(call(setter, link.toString())), setter.get(0));
            assertEquals("OK null", Probe.line(call(setter, dangling.toString())), setter.get(0));
        }
        assertEquals(0600, modeOf(target));
        assertEquals(0777, modeOf(link));
        assertEquals(target, Files.readSymbolicLink(link));
    }

    /** Cases that need a caller without privileges; as root they run as nobody in a child JVM. */
    @Nested
    class Unprivileged {
        private Child.Result asUnprivileged(String... calls) {
            return Child.probe(Child.isRoot() ? Child.AS_NOBODY : List.of(), calls);
        }

        @Test
        void unsearchableDirectoryDeniesTheQueryStage(@TempDir Path dir) throws Exception {
            Child.openToAll(dir);
            Path closed = Files.createDirectory(dir.resolve("closed"));
            Path f = file(closed, "f", 0644);
            Files.setAttribute(closed, "unix:mode", 0);
            Child.Result r;
            try {
                r = asUnprivileged(probes(f, "getUserPermissions", "isSetUIDBit"));
            } finally {
                Files.setAttribute(closed, "unix:mode", 0700);
            }
            String denied = "EX AccessDeniedException "
                    + message(13, "Could not query file for information.  Permission denied.", DENIED_TEXT);
            assertEquals(Collections.nCopies(9, denied), r.lines(), r.err());
            assertEquals(0644, modeOf(f));
        }

        @Test
        void changingSomeoneElsesFileIsTheGeneralError(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to own a file that another user then changes");
            Child.openToAll(dir);
            Path f = file(dir, "f", 0644);
            Child.Result r = asUnprivileged(probes(f, "getUserPermissions"));
            List<String> expected = new ArrayList<>(List.of("OK 6"));
            expected.addAll(Collections.nCopies(7, unknown(1)));
            assertEquals(expected, r.lines(), r.err());
            assertEquals(0644, modeOf(f));
        }
    }

    @Test
    void onAReadOnlyFileSystemChangesRaiseTheGeneralErrorAndQueriesStillWork(@TempDir Path dir) throws Exception {
        Path ro = Files.createDirectory(dir.resolve("ro"));
        String setup = String.format(
                "mount -t tmpfs -o size=1m tmpfs '%1$s' && touch '%1$s/f' && chmod 640 '%1$s/f'"
                        + " && mount -o remount,ro '%1$s'", ro);
        List<String> expected = new ArrayList<>(List.of("OK 4"));
        expected.addAll(Collections.nCopies(7, unknown(30)));
        assertEquals(expected, inPrivateMounts(setup, probes(ro.resolve("f"), "getGroupPermissions")).lines());
    }

    /** Runs the probe in a private mount namespace; skips where the platform refuses one. */
    static Child.Result inPrivateMounts(String setup, String... calls) {
        assumeTrue(Child.isRoot(), "needs root for a private mount namespace");
        Child.Result r = Child.probe(Child.inPrivateMounts(setup), calls);
        assumeTrue(r.status() == 0 || !r.err().contains("unshare failed"),
                "the platform refuses a private mount namespace: " + r.err());
        return r;
    }

    /** The write-back never follows a link, and never takes a regular file for one. */
    @Nested
    class NoFollow {
        @Test
        void aLinkSwappedInBetweenNeverChangesItsTarget(@TempDir Path dir) throws Exception {
            Path sentinel = file(dir, "sentinel", 0600);
            Path swapped = file(dir, "swapped", 0600);
            AtomicBoolean stop = new AtomicBoolean();
            AtomicInteger swaps = new AtomicInteger();
            Map<String, Integer> outcomes = new TreeMap<>();
            CompletableFuture<Void> swapping = CompletableFuture.runAsync(() -> swap(swapped, sentinel, stop, swaps));
            try {
                while (swaps.get() == 0 && !swapping.isDone()) {
                    Thread.onSpinWait();
                }
                for (int round = 0; round < 3000; round++) {
                    for (List<String> setter : SETTERS) {
                        outcomes.merge(Probe.line(call(setter, swapped.toString())), 1, Integer::sum);
                    }
                }
            } finally {
                stop.set(true);
            }
            swapping.get();
            assertEquals(0600, modeOf(sentinel), "outcomes " + outcomes);
            // A link seen by the change but gone again by the check after it is
            // reported as the refusal it was.
            outcomes.remove(unknown(95));
            outcomes.remove("OK null");
            assertEquals(Map.of(), outcomes);
        }

        /** Swaps the path between a regular file and a link to the sentinel until stopped. */
        private static void swap(Path path, Path sentinel, AtomicBoolean stop, AtomicInteger swaps) {
            Path spareLink = path.resolveSibling("spare-link");
            Path spareFile = path.resolveSibling("spare-file");
            try {
                while (!stop.get()) {
                    Files.createSymbolicLink(spareLink, sentinel);
                    Files.move(spareLink, path, StandardCopyOption.ATOMIC_MOVE);
                    Files.createFile(spareFile);
                    Files.move(spareFile, path, StandardCopyOption.ATOMIC_MOVE);
                    swaps.incrementAndGet();
                }
            } catch (IOException e) {
                throw new java.io.UncheckedIOException(e);
            }
        }

        @Test
        void aRegularFileIsChangedWithoutProcMounted(@TempDir Path dir) throws Exception {
            Path f = file(dir, "f", 0755);
            List<String> calls = new ArrayList<>(List.of(probes(f)));
            calls.addAll(List.of("setGroupPermissions", f.toString(), "0"));
            Child.Result r = inPrivateMounts("mount -t tmpfs none /proc/$$/fd", calls.toArray(String[]::new));
            assertEquals(Collections.nCopies(8, "OK null"), r.lines(), r.err());
            assertEquals(07707, modeOf(f));
        }
    }
}
