package com.zel.io.file;

import static java.nio.file.LinkOption.NOFOLLOW_LINKS;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.StringJoiner;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Owner and group of files, read and changed through the library in real JVMs. */
class OwnershipTest {
    private static final String INVALID_USER =
            " : A file was attempted to be assigned to an invalid user.";
    private static final String NO_USER =
            "EX InvalidUserException [ERRNO: 000] MSG: The username passed down does not appear to exist on the system.  Cannot re-assign."
                    + INVALID_USER;
    private static final String BAD_UID =
            "EX InvalidUserException [ERRNO: 000] MSG: Problems retrieving UID information.  The string was an invalid UID, and it couldn't be mapped to a username either."
                    + INVALID_USER;
    private static final String BAD_GID =
            "EX InvalidGroupException [ERRNO: 000] MSG: Problems retrieving GID information.  The string was an invalid GID, and it couldn't be mapped to a groupname, either. : A file was attempted to be assigned to an invalid group.";
    private static final String DENIED_SUFFIX =
            " : The current user does not have sufficient authority to perform the requested operation.";
    private static final String QUERY_DENIED =
            "EX AccessDeniedException [ERRNO: 013] MSG: Could not query file for information.  Permission denied."
                    + DENIED_SUFFIX;
    private static final String INVALID =
            "EX ExtendedIOException [ERRNO: 022] MSG: Unknown system error occured. : An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";

    /** The line of a refused lchown. */
    private static String changeDenied(int errno) {
        return String.format(
                "EX AccessDeniedException [ERRNO: %03d] MSG: Could not change ownership of file.  Permission denied.%s",
                errno, DENIED_SUFFIX);
    }

    /** Shell setup that puts the test database over the machine's, in the child's namespace. */
    private static String bindDatabase;

    /**
     * The machine's own user and group files with the test's entries added: a user and a group
     * named by digits, names that are digits too large for an id, non-ASCII names, and a group
     * whose line is longer than a first lookup buffer. The test groups lie after that group, so
     * that every lookup of one has to get past its line.
     */
    @BeforeAll
    static void writeDatabase(@TempDir Path dir) throws IOException {
        Path passwd = dir.resolve("passwd");
        Path group = dir.resolve("group");
        append(
                passwd,
                "/etc/passwd",
                "tester:x:4100:4100::/nonexistent:/usr/sbin/nologin",
                "123:x:4123:4123::/nonexistent:/usr/sbin/nologin",
                "4294967296:x:4296:4296::/nonexistent:/usr/sbin/nologin",
                "jürgen:x:4200:4200::/nonexistent:/usr/sbin/nologin");
        StringJoiner members = new StringJoiner(",", "crowd:x:4500:", "");
        for (int i = 0; i < 4000; i++) {
            members.add(String.format("member%04d", i));
        }
        String crowd = members.toString();
        assertTrue(crowd.length() > 16768, "the large group must overflow the first buffer");
        append(
                group,
                "/etc/group",
                "123:x:4123:",
                "4294967296:x:4296:",
                crowd,
                "testers:x:4100:tester",
                "jürgen:x:4200:");
        bindDatabase =
                String.format(
                        "mount --bind '%s' /etc/passwd\nmount --bind '%s' /etc/group", passwd, group);
    }

    private static void append(Path copy, String original, String... lines) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        bytes.writeBytes(Files.readAllBytes(Path.of(original)));
        if (bytes.size() > 0 && bytes.toByteArray()[bytes.size() - 1] != '\n') {
            bytes.write('\n');
        }
        for (String line : lines) {
            bytes.writeBytes((line + "\n").getBytes(StandardCharsets.UTF_8));
        }
        Files.write(copy, bytes.toByteArray());
    }

    /**
     * Runs probe calls as root with the test database, in a UTF-8 locale. The arguments travel
     * as ASCII with octal escapes, which the shell turns back into bytes, since this JVM may
     * have a locale that cannot pass a non-ASCII argument on.
     */
    private static List<String> withTestDatabase(String... calls) {
        String[] escaped = new String[calls.length];
        for (int i = 0; i < calls.length; i++) {
            StringBuilder text = new StringBuilder();
            for (byte b : calls[i].getBytes(StandardCharsets.UTF_8)) {
                text.append(b >= 0x20 && b < 0x7f && b != '\\' ? String.valueOf((char) b) : String.format("\\0%03o", b & 0xff));
            }
            escaped[i] = text.toString();
        }
        String decode = "for a; do shift; set -- \"$@\" \"$(printf '%b' \"$a\")\"; done";
        Child.Result r =
                Child.java(
                        Child.inPrivateMounts(bindDatabase + "\n" + decode),
                        Map.of("LC_ALL", "C.UTF-8"),
                        List.of(),
                        Probe.class.getName(),
                        escaped);
        assertEquals(0, r.status(), r.toString());
        return r.lines();
    }

    /** The owner and group of a path itself, as the kernel reports them: "uid:gid". */
    private static String ids(Path path) throws IOException {
        return Files.getAttribute(path, "unix:uid", NOFOLLOW_LINKS) + ":" + Files.getAttribute(path, "unix:gid", NOFOLLOW_LINKS);
    }

    private static Path file(Path dir, String name, String ids) throws IOException {
        Path file = Files.createFile(dir.resolve(name));
        String[] id = ids.split(":");
        Files.setAttribute(file, "unix:uid", Integer.parseInt(id[0]));
        Files.setAttribute(file, "unix:gid", Integer.parseInt(id[1]));
        return file;
    }

    /** Whether the caller's user namespace maps the id, from its uid_map or gid_map. */
    private static boolean mapped(String map, long id) throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self", map))) {
            String[] f = line.trim().split("\\s+");
            long first = Long.parseLong(f[0]);
            if (id >= first && id < first + Long.parseLong(f[2])) {
                return true;
            }
        }
        return false;
    }

    /**
     * Against the test database, one fresh file per row: its ids before, the call and its
     * argument, the line the call prints and the ids after (blank: unchanged).
     */
    private static final String TABLE = """
            0:0         | setFileOwner | tester      | OK            | 4100:0
            0:0         | setFileGroup | testers     | OK            | 0:4100
            4123:4296   | setFileOwner | 4100        | OK            | 4100:4296
            4123:4296   | setFileGroup | 4100        | OK            | 4123:4100
            4100:4100   | setFileOwner | 123         | OK            | 123:4100
            4100:4100   | setFileGroup | 123         | OK            | 4100:123
            4100:4100   | setFileOwner |             | OK            | 0:4100
            4100:4100   | setFileGroup |             | OK            | 4100:0
            4100:4100   | setFileOwner | 010         | OK            | 10:4100
            4100:4100   | setFileGroup | 010         | OK            | 4100:10
            0:0         | setFileOwner | 4294967296  | OK            | 4296:0
            0:0         | setFileGroup | 4294967296  | OK            | 0:4296
            0:0         | setFileOwner | 54321       | OK            | 54321:0
            0:0         | setFileGroup | 54321       | OK            | 0:54321
            0:0         | setFileGroup | crowd       | OK            | 0:4500
            0:0         | setFileOwner | jürgen      | OK            | 4200:0
            0:0         | setFileGroup | jürgen      | OK            | 0:4200
            0:0         | setFileOwner | 2147483647  | MAX uid_map   | MAX:0
            0:0         | setFileGroup | 2147483647  | MAX gid_map   | 0:MAX
            4100:4100   | setFileOwner | 2147483648  | BAD_UID       |
            4100:4100   | setFileGroup | 2147483648  | BAD_GID       |
            4100:4100   | setFileOwner | -1          | NO_USER       |
            4100:4100   | setFileOwner | +5          | NO_USER       |
            4100:4100   | setFileOwner | nosuchuser  | NO_USER       |
            4100:4100   | setFileGroup | -1          | BAD_GID       |
            4100:4100   | setFileGroup | +5          | BAD_GID       |
            4100:4100   | setFileGroup | nosuchgroup | BAD_GID       |
            4100:4100   | getFileOwner |             | OK tester     |
            4100:4100   | getFileGroup |             | OK testers    |
            54321:54321 | getFileOwner |             | OK 54321      |
            -2:-2       | getFileGroup |             | OK -2         |
            0:4500      | getFileGroup |             | OK crowd      |
            4200:4200   | getFileOwner |             | OK jürgen     |
            4200:4200   | getFileGroup |             | OK jürgen     |
            """;

    @Test
    void namesAndIdsAgainstTheTestDatabase(@TempDir Path dir) throws IOException {
        assumeTrue(Child.isRoot(), "needs root to bind-mount a user database and give files away");
        Map<String, String> tokens = Map.of("OK", "OK null", "BAD_UID", BAD_UID, "BAD_GID", BAD_GID, "NO_USER", NO_USER);
        List<String> calls = new ArrayList<>();
        List<String> expected = new ArrayList<>();
        List<String[]> rows = TABLE.lines().map(l -> l.split("\\|", -1)).toList();
        for (int i = 0; i < rows.size(); i++) {
            String[] row = rows.get(i);
            Path file = file(dir, "f" + i, row[0].trim());
            calls.addAll(List.of("--", row[1].trim(), file.toString()));
            if (row[1].trim().startsWith("set")) {
                calls.add(row[2].trim());
            }
            String result = row[3].trim();
            boolean maxMapped = result.startsWith("MAX") && mapped(result.substring(4), Integer.MAX_VALUE);
            expected.add(result.startsWith("MAX") ? (maxMapped ? "OK null" : INVALID) : tokens.getOrDefault(result, result));
        }
        List<String> lines = withTestDatabase(calls.subList(1, calls.size()).toArray(String[]::new));
        List<String> after = new ArrayList<>();
        List<String> expectedAfter = new ArrayList<>();
        for (int i = 0; i < rows.size(); i++) {
            String[] row = rows.get(i);
            after.add(ids(dir.resolve("f" + i)));
            String ids = row[4].trim().isEmpty() ? row[0].trim() : row[4].trim();
            boolean maxMapped = row[3].trim().startsWith("MAX") && mapped(row[3].trim().substring(4), Integer.MAX_VALUE);
            expectedAfter.add(ids.replace("MAX", maxMapped ? "2147483647" : "0"));
        }
        assertEquals(expected, lines);
        assertEquals(expectedAfter, after);
    }

    @Test
    void linksAreReownedThemselvesAlsoWhenDangling(@TempDir Path dir) throws IOException {
        assumeTrue(Child.isRoot(), "needs root to bind-mount a user database and give files away");
        Path target = file(dir, "target", "0:0");
        Path link = Files.createSymbolicLink(dir.resolve("link"), target);
        Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
        assertEquals(
                List.of("OK null", "OK null", "OK null", "OK null", "OK tester", "OK 123", "OK root"),
                withTestDatabase(
                        "setFileOwner", link.toString(), "tester",
                        "--", "setFileGroup", link.toString(), "testers",
                        "--", "setFileOwner", dangling.toString(), "jürgen",
                        "--", "setFileGroup", dangling.toString(), "4123",
                        "--", "getFileOwner", link.toString(),
                        "--", "getFileGroup", dangling.toString(),
                        "--", "getFileOwner", target.toString()));
        assertEquals(List.of("4100:4100", "4200:4123", "0:0"), List.of(ids(link), ids(dangling), ids(target)));
    }

    @Test
    void aNullStringComesBeforeAMissingFileAndAMissingFileBeforeAMissingName(@TempDir Path dir) throws IOException {
        String missing = dir.resolve("missing").toString();
        String below = Files.createFile(dir.resolve("file")) + "/below";
        String nul = "EX ExtendedIOException [ERRNO: 000] MSG: filename or %sname passed in was NULL. : "
                + "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
        assertEquals(String.format(nul, "user"), Probe.line("setFileOwner", missing, Probe.NULL));
        assertEquals(String.format(nul, "user"), Probe.line("setFileOwner", Probe.NULL, "nosuchname"));
        assertEquals(String.format(nul, "group"), Probe.line("setFileGroup", missing, Probe.NULL));
        assertEquals(String.format(nul, "group"), Probe.line("setFileGroup", Probe.NULL, "nosuchname"));
        assertEquals("EX FileNotFoundException [ERRNO: 002] MSG: File does not exist on system or the file name was too long. : "
                        + "The file referenced by this object does not appear to reside on disk.",
                Probe.line("setFileOwner", missing, "no such user"));
        assertTrue(Probe.line("setFileGroup", below, "no such group").startsWith("EX FileNotFoundException [ERRNO: 020]"));
    }

    /** As nobody: giving files away is refused with EPERM, a closed directory stops every method at the query. */
    @Test
    void anUnprivilegedCallerIsDenied(@TempDir Path dir) throws IOException {
        assumeTrue(Child.isRoot(), "needs root to drop to another user");
        Child.openToAll(dir);
        Path roots = file(dir, "roots", "0:0");
        Path own = file(dir, "own", "65534:65534");
        Path closed = Files.createDirectory(dir.resolve("closed"));
        String hidden = file(closed, "file", "0:0").toString();
        Files.setPosixFilePermissions(closed, PosixFilePermissions.fromString("rwx------"));
        Child.Result r = Child.probe(Child.AS_NOBODY,
                "setFileOwner", roots.toString(), "65534", "--", "setFileGroup", roots.toString(), "65534",
                "--", "setFileOwner", own.toString(), "0", "--", "setFileGroup", own.toString(), "0",
                "--", "getFileOwner", hidden, "--", "getFileGroup", hidden,
                "--", "setFileOwner", hidden, "nosuchuser", "--", "setFileGroup", hidden, "65534");
        assertEquals(0, r.status(), r.toString());
        List<String> expected = new ArrayList<>(java.util.Collections.nCopies(4, changeDenied(1)));
        expected.addAll(java.util.Collections.nCopies(4, QUERY_DENIED));
        assertEquals(expected, r.lines());
        assertEquals(List.of("0:0", "65534:65534"), List.of(ids(roots), ids(own)));
    }

    @Test
    void readOnlyFileSystemIsDeniedWithErofs(@TempDir Path dir) {
        assumeTrue(Child.isRoot(), "needs root to mount a file system");
        Path ro = dir.resolve("ro");
        String setup =
                String.format(
                        "mkdir '%1$s'\nmount -t tmpfs -o size=1m tmpfs '%1$s'\ntouch '%1$s/file'\n"
                                + "ln -s file '%1$s/link'\nmount -o remount,ro '%1$s'",
                        ro);
        Child.Result r =
                Child.probe(
                        Child.inPrivateMounts(setup),
                        "setFileOwner", ro + "/file", "0",
                        "--", "setFileGroup", ro + "/file", "0",
                        "--", "setFileOwner", ro + "/link", "0");
        assertEquals(0, r.status(), r.toString());
        assertEquals(List.of(changeDenied(30), changeDenied(30), changeDenied(30)), r.lines());
    }
}
