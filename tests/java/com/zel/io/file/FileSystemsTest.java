package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.FileNotFoundException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Mount points and file-system space, on real mounts in private mount namespaces. */
class FileSystemsTest {
    private static final String NOT_FOUND =
            "MSG: The path does not exist on the system or the path was too long. : The file referenced by this object does not appear to reside on disk.";
    private static final String SPACE_CALLS = "getFileSystemSize,getFreeSpace";

    /** A word for sh, quoted. */
    private static String quote(String text) {
        return "'" + text.replace("'", "'\\''") + "'";
    }

    /** Lines the setup script printed with the given tag, tag removed. */
    private static List<String> tagged(Child.Result r, String tag) {
        return r.lines().stream().filter(l -> l.startsWith(tag + " ")).map(l -> l.substring(tag.length() + 1)).toList();
    }

    /** The mount points of the table the setup script printed as "M" lines. */
    private static List<String> table(Child.Result r) {
        return tagged(r, "M").stream().map(l -> Child.unescapeMountPoint(l.split(" ")[1])).toList();
    }

    /** The elements of the one array a probe printed, after checking its "OK [n]" line. */
    private static List<String> listed(Child.Result r) {
        assertEquals(0, r.status(), r.out() + r.err());
        List<String> lines = r.lines();
        int head = -1;
        for (int i = 0; i < lines.size(); i++) {
            if (lines.get(i).startsWith("OK [")) {
                head = i;
            }
        }
        assertTrue(head >= 0, r.out());
        List<String> elements =
                lines.subList(head + 1, lines.size()).stream().map(l -> l.substring("- ".length())).toList();
        assertEquals("OK [" + elements.size() + "]", lines.get(head));
        return elements;
    }

    /** The probe's result lines, after what the setup script printed. */
    private static List<String> results(Child.Result r) {
        assertEquals(0, r.status(), r.out() + r.err());
        return r.lines().stream().filter(l -> l.startsWith("OK ") || l.startsWith("EX ")).toList();
    }

    @Nested
    class MountPoints {
        @Test
        void listIsTheNamespacesMountTableInOrderWithDuplicates(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to mount");
            List<String> points = List.of("plain", "with space", "tab\tand\\back", "twice", "twice");
            StringBuilder setup = new StringBuilder();
            for (String point : points) {
                Path at = dir.resolve(point);
                if (!Files.exists(at)) {
                    Files.createDirectory(at);
                }
                setup.append("mount -t tmpfs -o size=1m tmpfs ").append(quote(at.toString())).append('\n');
            }
            setup.append("sed 's/^/M /' /proc/self/mounts");

            Child.Result r = Child.probe(Child.inPrivateMounts(setup.toString()), "getMountedFileSystems");

            List<String> list = listed(r);
            assertEquals(table(r), list);
            int last = list.size();
            assertEquals(
                    points.stream().map(p -> dir.resolve(p).toString()).toList(),
                    list.subList(last - points.size(), last));
        }

        @Test
        void thousandsOfMountsComeBackWhole(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to mount");
            // Each recursive bind copies the whole tree below itself: 2^12 mounts from 13 calls.
            Path tree = Files.createDirectory(dir.resolve("tree"));
            String setup =
                    "mount -t tmpfs -o size=1m tmpfs " + quote(tree.toString()) + "\n"
                            + "mkdir " + quote(tree.resolve("c").toString()) + "\n"
                            + "i=0\n"
                            + "while [ $i -lt 12 ]; do mount --rbind " + quote(tree.toString()) + " "
                            + quote(tree.resolve("c").toString()) + "; i=$((i + 1)); done\n"
                            + "sed 's/^/M /' /proc/self/mounts";

            Child.Result r = Child.probe(Child.inPrivateMounts(setup), "getMountedFileSystems");

            List<String> list = listed(r);
            assertEquals(table(r), list);
            assertEquals(4096, list.stream().filter(p -> p.startsWith(tree.toString())).count());
            assertEquals("", r.err());
        }
    }

    @Nested
    class Space {
        /** Each of the two space calls on each path, in that order. */
        private String[] calls(Path... paths) {
            List<String> calls = new ArrayList<>();
            for (Path path : paths) {
                for (String method : SPACE_CALLS.split(",")) {
                    if (!calls.isEmpty()) {
                        calls.add("--");
                    }
                    calls.add(method);
                    calls.add(path.toString());
                }
            }
            return calls.toArray(String[]::new);
        }

        /** The calls run as nobody in a namespace set up as root. */
        private Child.Result asNobody(String setup, String... calls) {
            List<String> prefix = new ArrayList<>(Child.inPrivateMounts(setup));
            prefix.addAll(Child.AS_NOBODY);
            return Child.probe(prefix, calls);
        }

        /** statvfs figures "unit blocks free available" of a path, as stat prints them. */
        private long[] figures(String line) {
            String[] f = line.split(" ");
            long[] values = new long[f.length];
            for (int i = 0; i < f.length; i++) {
                values[i] = Long.parseLong(f[i]);
            }
            return values;
        }

        @Test
        void tmpfsOfKnownSizeMeasuresExactlyFullOneHasNothingFree(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to mount");
            Child.openToAll(dir);
            Path sized = Files.createDirectory(dir.resolve("sized"));
            Path full = Files.createDirectory(dir.resolve("full"));
            Path file = sized.resolve("file");
            String setup =
                    "mount -t tmpfs -o size=4m,mode=755 tmpfs " + quote(sized.toString()) + "\n"
                            + "echo data > " + quote(file.toString()) + "\n"
                            + "mount -t tmpfs -o size=1m,mode=755 tmpfs " + quote(full.toString()) + "\n"
                            + "dd if=/dev/zero of=" + quote(full.resolve("fill").toString()) + " bs=64k 2>/dev/null || true\n"
                            + "stat -f -c 'S %S %b %f %a' " + quote(sized.toString()) + " " + quote(full.toString());
            String[] calls = calls(sized, file, full);

            Child.Result root = Child.probe(Child.inPrivateMounts(setup), calls);
            Child.Result nobody = asNobody(setup, calls);
            List<String> rootFigures = tagged(root, "S");
            long[] s = figures(rootFigures.get(0));
            long[] f = figures(rootFigures.get(1));
            assertEquals(4L << 20, s[0] * s[1]);
            assertEquals(0, f[2]);
            assertEquals(0, f[3]);
            String size = "OK " + (4L << 20);
            String free = "OK " + s[0] * s[2];
            assertEquals(List.of(size, free, size, free, "OK " + (1L << 20), "OK 0"), results(root));

            s = figures(tagged(nobody, "S").get(0));
            String available = "OK " + s[0] * s[3];
            assertEquals(
                    List.of(size, available, size, available, "OK " + (1L << 20), "OK 0"), results(nobody));
        }

        @Test
        void superuserCountsTheReservedBlocksAnOrdinaryUserDoesNot(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to mount");
            Child.openToAll(dir);
            Path image = dir.resolve("image");
            Path mounted = Files.createDirectory(dir.resolve("ext2"));
            Child.Result made =
                    Child.run(
                            List.of("sh", "-c", "truncate -s 8M \"$1\" && mke2fs -q -F -t ext2 -b 1024 -m 10 \"$1\"",
                                    "sh", image.toString()),
                            java.util.Map.of());
            assumeTrue(made.status() == 0, "no mke2fs: " + made.err());
            String setup =
                    "mount -o loop " + quote(image.toString()) + " " + quote(mounted.toString())
                            + " 2>/dev/null || { echo NOLOOP; exit 0; }\n"
                            + "chmod 755 " + quote(mounted.toString()) + "\n"
                            + "stat -f -c 'S %S %b %f %a' " + quote(mounted.toString());

            Child.Result root = Child.probe(Child.inPrivateMounts(setup), calls(mounted));
            assumeFalse(root.out().contains("NOLOOP"), "no loop device to mount the image");
            long[] s = figures(tagged(root, "S").get(0));
            assertNotEquals(s[2], s[3], "the image has reserved blocks");
            String size = "OK " + s[0] * s[1];
            assertEquals(List.of(size, "OK " + s[0] * s[2]), results(root));

            Child.Result nobody = asNobody(setup, calls(mounted));
            s = figures(tagged(nobody, "S").get(0));
            assertEquals(List.of("OK " + s[0] * s[1], "OK " + s[0] * s[3]), results(nobody));
        }

        @Test
        void missingPathsAreNotFoundWithTheirErrno(@TempDir Path dir) throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            String[][] cases = {
                {dir.resolve("missing").toString(), "002"},
                {file + "/below", "020"},
            };
            for (String[] c : cases) {
                FileNotFoundException free =
                        assertThrows(FileNotFoundException.class, () -> UnixNativeFile.getFreeSpace(c[0]));
                assertEquals("[ERRNO: " + c[1] + "] " + NOT_FOUND, free.getMessage());
                FileNotFoundException size =
                        assertThrows(FileNotFoundException.class, () -> UnixNativeFile.getFileSystemSize(c[0]));
                assertEquals(Integer.parseInt(c[1]), size.getErrno());
            }
        }

        @Test
        void unsearchableDirectoryIsAccessDenied(@TempDir Path dir) throws Exception {
            assumeTrue(Child.isRoot(), "needs root to drop to another user");
            Child.openToAll(dir);
            Path closed = Files.createDirectory(dir.resolve("closed"));
            Files.setPosixFilePermissions(closed, PosixFilePermissions.fromString("rwx------"));
            String denied =
                    "EX AccessDeniedException [ERRNO: 013] MSG: Could not access denoted path for space determination.  Permission denied. : The current user does not have sufficient authority to perform the requested operation.";
            Child.Result r = Child.probe(Child.AS_NOBODY, calls(closed.resolve("x")));
            assertEquals(List.of(denied, denied), results(r));
        }
    }
}
