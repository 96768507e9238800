package com.zel.io.file;

import static java.nio.file.LinkOption.NOFOLLOW_LINKS;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.List;
import java.util.Map;
import java.util.StringJoiner;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

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
    private static final String OK = "OK null";

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

    /** The owner and group of a path itself, as the kernel reports them. */
    private static List<Integer> ids(Path path) throws IOException {
        return List.of(
                (Integer) Files.getAttribute(path, "unix:uid", NOFOLLOW_LINKS),
                (Integer) Files.getAttribute(path, "unix:gid", NOFOLLOW_LINKS));
    }

    private static Path file(Path dir, String name, int uid, int gid) throws IOException {
        Path file = Files.createFile(dir.resolve(name));
        Files.setAttribute(file, "unix:uid", uid);
        Files.setAttribute(file, "unix:gid", gid);
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

    @Nested
    class Arguments {
        @ParameterizedTest
        @CsvSource({
            "setFileOwner, user, filename or username passed in was NULL.",
            "setFileOwner, path, filename or username passed in was NULL.",
            "setFileGroup, group, filename or groupname passed in was NULL.",
            "setFileGroup, path, filename or groupname passed in was NULL."
        })
        void nullStringComesBeforeAMissingFile(String method, String nullOne, String detail, @TempDir Path dir) {
            String missing = dir.resolve("missing").toString();
            String path = nullOne.equals("path") ? null : missing;
            String who = nullOne.equals("path") ? "nosuchname" : null;
            ExtendedIOException e =
                    assertThrows(
                            ExtendedIOException.class,
                            () -> {
                                if (method.equals("setFileOwner")) {
                                    UnixNativeFile.setFileOwner(path, who);
                                } else {
                                    UnixNativeFile.setFileGroup(path, who);
                                }
                            });
            assertEquals(ExtendedIOException.class, e.getClass());
            assertEquals(
                    "[ERRNO: 000] MSG: "
                            + detail
                            + " : An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.",
                    e.getMessage());
        }

        @Test
        void missingFileComesBeforeAMissingUserOrGroup(@TempDir Path dir) throws IOException {
            Path file = Files.createFile(dir.resolve("file"));
            FileNotFoundException owner =
                    assertThrows(
                            FileNotFoundException.class,
                            () -> UnixNativeFile.setFileOwner(dir.resolve("missing").toString(), "no such user"));
            assertEquals(
                    "[ERRNO: 002] MSG: File does not exist on system or the file name was too long. : The file referenced by this object does not appear to reside on disk.",
                    owner.getMessage());
            FileNotFoundException group =
                    assertThrows(
                            FileNotFoundException.class,
                            () -> UnixNativeFile.setFileGroup(file + "/below", "no such group"));
            assertEquals(20, group.getErrno());
        }
    }

    @Nested
    class AsRootWithTestDatabase {
        @BeforeEach
        void needsRoot() {
            assumeTrue(Child.isRoot(), "needs root to bind-mount a user database and give files away");
        }

        @Test
        void namesAndIdsBothChangeTheFile(@TempDir Path dir) throws IOException {
            Path byName = file(dir, "byName", 0, 0);
            Path byId = file(dir, "byId", 0, 0);
            assertEquals(
                    List.of(OK, OK, "OK tester", "OK testers", OK, OK),
                    withTestDatabase(
                            "setFileOwner", byName.toString(), "tester",
                            "--", "setFileGroup", byName.toString(), "testers",
                            "--", "getFileOwner", byName.toString(),
                            "--", "getFileGroup", byName.toString(),
                            "--", "setFileOwner", byId.toString(), "4100",
                            "--", "setFileGroup", byId.toString(), "4100"));
            assertEquals(List.of(4100, 4100), ids(byName));
            assertEquals(List.of(4100, 4100), ids(byId));
        }

        @Test
        void digitStringsAreIdsEvenWhereANameIsMadeOfThem(@TempDir Path dir) throws IOException {
            Path named = file(dir, "named", 4100, 4100);
            Path empty = file(dir, "empty", 4100, 4100);
            Path octal = file(dir, "octal", 4100, 4100);
            assertEquals(
                    List.of(OK, OK, OK, OK, OK, OK),
                    withTestDatabase(
                            "setFileOwner", named.toString(), "123",
                            "--", "setFileGroup", named.toString(), "123",
                            "--", "setFileOwner", empty.toString(), "",
                            "--", "setFileGroup", empty.toString(), "",
                            "--", "setFileOwner", octal.toString(), "010",
                            "--", "setFileGroup", octal.toString(), "010"));
            assertEquals(List.of(123, 123), ids(named));
            assertEquals(List.of(0, 0), ids(empty));
            assertEquals(List.of(10, 10), ids(octal));
        }

        @Test
        void digitsAboveTheLargestIdAreNames(@TempDir Path dir) throws IOException {
            Path kept = file(dir, "kept", 4100, 4100);
            Path named = file(dir, "named", 0, 0);
            assertEquals(
                    List.of(BAD_UID, BAD_GID, OK, OK),
                    withTestDatabase(
                            "setFileOwner", kept.toString(), "2147483648",
                            "--", "setFileGroup", kept.toString(), "2147483648",
                            "--", "setFileOwner", named.toString(), "4294967296",
                            "--", "setFileGroup", named.toString(), "4294967296"));
            assertEquals(List.of(4100, 4100), ids(kept));
            assertEquals(List.of(4296, 4296), ids(named));
        }

        @Test
        void largestIdGoesToTheKernelAsItIs(@TempDir Path dir) throws IOException {
            Path file = file(dir, "file", 0, 0);
            List<String> lines =
                    withTestDatabase(
                            "setFileOwner", file.toString(), "2147483647",
                            "--", "setFileGroup", file.toString(), "2147483647");
            String invalid =
                    "EX ExtendedIOException [ERRNO: 022] MSG: Unknown system error occured. : An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
            boolean uidMapped = mapped("uid_map", 2147483647L);
            boolean gidMapped = mapped("gid_map", 2147483647L);
            assertEquals(List.of(uidMapped ? OK : invalid, gidMapped ? OK : invalid), lines);
            assertEquals(
                    List.of(uidMapped ? 2147483647 : 0, gidMapped ? 2147483647 : 0), ids(file));
        }

        @Test
        void signedNumbersAndUnknownNamesAreInvalid(@TempDir Path dir) throws IOException {
            Path file = file(dir, "file", 4100, 4100);
            String f = file.toString();
            assertEquals(
                    List.of(NO_USER, NO_USER, NO_USER, BAD_GID, BAD_GID, BAD_GID),
                    withTestDatabase(
                            "setFileOwner", f, "-1",
                            "--", "setFileOwner", f, "+5",
                            "--", "setFileOwner", f, "nosuchuser",
                            "--", "setFileGroup", f, "-1",
                            "--", "setFileGroup", f, "+5",
                            "--", "setFileGroup", f, "nosuchgroup"));
            assertEquals(List.of(4100, 4100), ids(file));
        }

        @Test
        void linksAreReownedThemselvesAlsoWhenDangling(@TempDir Path dir) throws IOException {
            Path target = file(dir, "target", 0, 0);
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
            assertEquals(
                    List.of(OK, OK, OK, OK, "OK tester", "OK 123", "OK root"),
                    withTestDatabase(
                            "setFileOwner", link.toString(), "tester",
                            "--", "setFileGroup", link.toString(), "testers",
                            "--", "setFileOwner", dangling.toString(), "jürgen",
                            "--", "setFileGroup", dangling.toString(), "4123",
                            "--", "getFileOwner", link.toString(),
                            "--", "getFileGroup", dangling.toString(),
                            "--", "getFileOwner", target.toString()));
            assertEquals(List.of(4100, 4100), ids(link));
            assertEquals(List.of(4200, 4123), ids(dangling));
            assertEquals(List.of(0, 0), ids(target));
        }

        @Test
        void eachChangeKeepsTheOtherId(@TempDir Path dir) throws IOException {
            Path owner = file(dir, "owner", 4123, 4296);
            Path group = file(dir, "group", 4123, 4296);
            assertEquals(
                    List.of(OK, OK),
                    withTestDatabase(
                            "setFileOwner", owner.toString(), "tester",
                            "--", "setFileGroup", group.toString(), "testers"));
            assertEquals(List.of(4100, 4296), ids(owner));
            assertEquals(List.of(4123, 4100), ids(group));
        }

        @Test
        void idsWithoutAnEntryReadAsSignedDecimals(@TempDir Path dir) throws IOException {
            Path unlisted = file(dir, "unlisted", 0, 0);
            Path topBit = file(dir, "topBit", -2, -2);
            assertEquals(
                    List.of(OK, OK, "OK 54321", "OK 54321", "OK -2", "OK -2"),
                    withTestDatabase(
                            "setFileOwner", unlisted.toString(), "54321",
                            "--", "setFileGroup", unlisted.toString(), "54321",
                            "--", "getFileOwner", unlisted.toString(),
                            "--", "getFileGroup", unlisted.toString(),
                            "--", "getFileOwner", topBit.toString(),
                            "--", "getFileGroup", topBit.toString()));
            assertEquals(List.of(54321, 54321), ids(unlisted));
        }

        @Test
        void largeGroupIsFoundByNameAndById(@TempDir Path dir) throws IOException {
            Path byName = file(dir, "byName", 0, 0);
            Path byId = file(dir, "byId", 0, 4500);
            assertEquals(
                    List.of(OK, "OK crowd", "OK crowd"),
                    withTestDatabase(
                            "setFileGroup", byName.toString(), "crowd",
                            "--", "getFileGroup", byName.toString(),
                            "--", "getFileGroup", byId.toString()));
            assertEquals(List.of(0, 4500), ids(byName));
        }

        @Test
        void nonAsciiNamesAreFoundAndReadBack(@TempDir Path dir) throws IOException {
            Path file = file(dir, "file", 0, 0);
            assertEquals(
                    List.of(OK, OK, "OK jürgen", "OK jürgen"),
                    withTestDatabase(
                            "setFileOwner", file.toString(), "jürgen",
                            "--", "setFileGroup", file.toString(), "jürgen",
                            "--", "getFileOwner", file.toString(),
                            "--", "getFileGroup", file.toString()));
            assertEquals(List.of(4200, 4200), ids(file));
        }
    }

    @Nested
    class Unprivileged {
        @BeforeEach
        void needsRoot() {
            assumeTrue(Child.isRoot(), "needs root to drop to another user");
        }

        @Test
        void givingFilesAwayIsDeniedWithEperm(@TempDir Path dir) throws IOException {
            Child.openToAll(dir);
            Path roots = file(dir, "roots", 0, 0);
            Path own = file(dir, "own", 65534, 65534);
            Child.Result r =
                    Child.probe(
                            Child.AS_NOBODY,
                            "setFileOwner", roots.toString(), "65534",
                            "--", "setFileGroup", roots.toString(), "65534",
                            "--", "setFileOwner", own.toString(), "0",
                            "--", "setFileGroup", own.toString(), "0");
            assertEquals(0, r.status(), r.toString());
            assertEquals(List.of(changeDenied(1), changeDenied(1), changeDenied(1), changeDenied(1)), r.lines());
            assertEquals(List.of(0, 0), ids(roots));
            assertEquals(List.of(65534, 65534), ids(own));
        }

        @Test
        void unsearchableDirectoryStopsEveryMethodAtTheQuery(@TempDir Path dir) throws IOException {
            Child.openToAll(dir);
            Path closed = Files.createDirectory(dir.resolve("closed"));
            Path file = file(closed, "file", 0, 0);
            Files.setPosixFilePermissions(closed, PosixFilePermissions.fromString("rwx------"));
            String f = file.toString();
            Child.Result r =
                    Child.probe(
                            Child.AS_NOBODY,
                            "getFileOwner", f,
                            "--", "getFileGroup", f,
                            "--", "setFileOwner", f, "nosuchuser",
                            "--", "setFileGroup", f, "65534");
            assertEquals(0, r.status(), r.toString());
            assertEquals(List.of(QUERY_DENIED, QUERY_DENIED, QUERY_DENIED, QUERY_DENIED), r.lines());
            assertEquals(List.of(0, 0), ids(file));
        }
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
