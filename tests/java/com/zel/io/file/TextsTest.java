package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Paths, names and link texts crossing into and out of the JVM: standard UTF-8 both ways, raw
 * bytes kept, nothing ever cut. Every case runs in a child JVM under a UTF-8 locale and under
 * the C locale, where Java's own file API cannot name these files at all.
 */
class TextsTest {
    private static final String NOT_FOUND =
            " : The file referenced by this object does not appear to reside on disk.";
    private static final String IO_ERROR =
            " : An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";

    @TempDir Path dir;

    static Stream<Arguments> locales() {
        return Stream.of(
                Arguments.of("C.UTF-8", Map.of("LC_ALL", "C.UTF-8")),
                Arguments.of("C", Child.cLocale()));
    }

    /** Runs calls in a child JVM of the locale; arguments and results travel escaped. */
    private static List<String> run(Map<String, String> locale, String... calls) {
        List<String> args = new ArrayList<>();
        args.add(Probe.ESCAPED);
        for (String call : calls) {
            args.add(call.equals("--") ? call : escape(call));
        }
        Child.Result r =
                Child.java(List.of(), locale, List.of(), Probe.class.getName(), args.toArray(String[]::new));
        assertEquals(0, r.status(), r.err());
        return r.lines();
    }

    private static String escape(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) {
            out.append(c >= 0x20 && c < 0x7F && c != '\\' ? String.valueOf(c) : String.format("\\u%04X", (int) c));
        }
        return out.toString();
    }

    /** The bytes stored in a link, as the system reports them. */
    private static byte[] readlink(Path link) throws IOException, InterruptedException {
        Process p = new ProcessBuilder("readlink", "-n", link.toString()).start();
        byte[] bytes = p.getInputStream().readAllBytes();
        assertEquals(0, p.waitFor());
        return bytes;
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("locales")
    void supplementaryAndCjkNamesAreFoundAsNioMadeThem(String name, Map<String, String> locale) throws Exception {
        Path emoji = Files.createFile(dir.resolve("\uD83D\uDE00.txt"));
        Files.setPosixFilePermissions(emoji, PosixFilePermissions.fromString("rw-r-----"));
        Path cjk = Files.createDirectory(dir.resolve("目录"));
        Path link = dir.resolve("链接");
        assertEquals(
                List.of("OK 6", "OK 4", "OK false", "OK root", "OK null", "OK \\uD83D\\uDE00"),
                run(
                        locale,
                        "getUserPermissions", emoji.toString(), "--",
                        "getGroupPermissions", emoji.toString(), "--",
                        "isSymLink", cjk.toString(), "--",
                        "getFileOwner", cjk.toString(), "--",
                        "createSymLink", link.toString(), "\uD83D\uDE00", "--",
                        "getSymLinkValue", link.toString()));
        assertArrayEquals("\uD83D\uDE00".getBytes(StandardCharsets.UTF_8), readlink(link));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("locales")
    void linkTextsWithInvalidUtf8AreReproducedByteForByte(String name, Map<String, String> locale)
            throws Exception {
        Path original = dir.resolve("original");
        Path copy = dir.resolve("copy");
        // A link text no charset can decode: Latin-1 bytes, a lone continuation byte, an
        // overlong slash.
        Child.Result made =
                Child.run(
                        List.of("sh", "-c", "ln -s \"$(printf 'caf\\351/\\200/\\300\\257-\\360\\237\\230\\200')\" \"$1\"", "sh", original.toString()),
                        Map.of());
        assertEquals(0, made.status(), made.err());
        byte[] stored = readlink(original);

        List<String> out = run(locale, "getSymLinkValue", original.toString());
        assertEquals("OK caf\\uDCE9/\\uDC80/\\uDCC0\\uDCAF-\\uD83D\\uDE00", out.get(0));

        String text = "caf\uDCE9/\uDC80/\uDCC0\uDCAF-\uD83D\uDE00";
        assertEquals(List.of("OK null"), run(locale, "createSymLink", copy.toString(), text));
        assertArrayEquals(stored, readlink(copy));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("locales")
    void stringsThatCanNameNoFileFailAsTheSystemWouldWithEinval(String name, Map<String, String> locale) {
        String withNul = dir + "/a\u0000b";
        String loneHigh = dir + "/a\uD800b";
        assertEquals(
                List.of(
                        "EX ExtendedIOException [ERRNO: 022] MSG: Unknown system error occured." + IO_ERROR,
                        "EX ExtendedIOException [ERRNO: 022] MSG: Unknown system error occured." + IO_ERROR,
                        "EX ExtendedIOException [ERRNO: 022] MSG: System error occured." + IO_ERROR,
                        "EX ExtendedIOException [ERRNO: 022] MSG: Unknown system error occured." + IO_ERROR),
                run(
                        locale,
                        "isSymLink", withNul, "--",
                        "setPermissions", loneHigh, "0", "0", "0", "--",
                        "getSymLinkValue", withNul, "--",
                        "symlinkDelete", loneHigh));
    }

    /** A path of exactly the given byte length to a regular file, through directories. */
    private Path pathOfLength(int length) throws IOException {
        Path base = dir.toRealPath();
        int remaining = length - base.toString().length() - 1;
        Path parent = base;
        while (remaining > 200) {
            parent = Files.createDirectories(parent.resolve("d".repeat(150)));
            remaining -= 151;
        }
        Path file = parent.resolve("f".repeat(remaining));
        Files.writeString(file, "kept");
        assertEquals(length, file.toString().getBytes(StandardCharsets.UTF_8).length);
        return file;
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("locales")
    void pathsOf1023BytesWorkAndLongerOnesTouchNoFile(String name, Map<String, String> locale) throws Exception {
        Path fits = pathOfLength(1023);
        Files.setPosixFilePermissions(fits, PosixFilePermissions.fromString("rw-r--r--"));
        // One byte more names another file, and the cut text would be the file above.
        String tooLong = fits + "x";
        assertEquals(
                List.of("OK 6", "OK false", "OK root", "OK null", "OK 7"),
                run(
                        locale,
                        "getUserPermissions", fits.toString(), "--",
                        "isSymLink", fits.toString(), "--",
                        "getFileGroup", fits.toString(), "--",
                        "setUserPermissions", fits.toString(), "7", "--",
                        "getUserPermissions", fits.toString()));

        String notFound = "[ERRNO: 036] MSG: File does not exist on system or the file name was too long." + NOT_FOUND;
        List<String> out =
                run(
                        locale,
                        "setPermissions", tooLong, "0", "0", "0", "--",
                        "setUIDBit", tooLong, "true", "--",
                        "setFileOwner", tooLong, "0", "--",
                        "getSymLinkValue", tooLong, "--",
                        "createSymLink", tooLong, "target", "--",
                        "createSymLink", dir.resolve("link").toString(), tooLong, "--",
                        "symlinkDelete", tooLong, "--",
                        "getFreeSpace", tooLong, "--",
                        "getFileSystemSize", tooLong);
        List<String> expected = new ArrayList<>(Collections.nCopies(6, "EX FileNotFoundException " + notFound));
        expected.add("EX FileNotFoundException [ERRNO: 036] MSG: Symlink does not exist on system or the symlink name was too long." + NOT_FOUND);
        expected.addAll(Collections.nCopies(2,
                "EX FileNotFoundException [ERRNO: 036] MSG: The path does not exist on the system or the path was too long." + NOT_FOUND));
        assertEquals(expected, out);
        assertEquals("kept", Files.readString(fits));
        assertEquals("rwxr--r--", PosixFilePermissions.toString(Files.getPosixFilePermissions(fits, LinkOption.NOFOLLOW_LINKS)));
        assertTrue(Files.notExists(dir.resolve("link"), LinkOption.NOFOLLOW_LINKS));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("locales")
    void userAndGroupStringsThatDoNotFitAreUnknownNames(String name, Map<String, String> locale) throws Exception {
        Path file = Files.createFile(dir.resolve("owned"));
        String digits = "1".repeat(1024);
        String letters = "u".repeat(1024);
        assertEquals(
                List.of(
                        "EX InvalidUserException [ERRNO: 000] MSG: Problems retrieving UID information.  The string was an invalid UID, and it couldn't be mapped to a username either. : A file was attempted to be assigned to an invalid user.",
                        "EX InvalidUserException [ERRNO: 000] MSG: The username passed down does not appear to exist on the system.  Cannot re-assign. : A file was attempted to be assigned to an invalid user.",
                        "EX InvalidGroupException [ERRNO: 000] MSG: Problems retrieving GID information.  The string was an invalid GID, and it couldn't be mapped to a groupname, either. : A file was attempted to be assigned to an invalid group.",
                        "EX InvalidUserException [ERRNO: 000] MSG: The username passed down does not appear to exist on the system.  Cannot re-assign. : A file was attempted to be assigned to an invalid user."),
                run(
                        locale,
                        "setFileOwner", file.toString(), digits, "--",
                        "setFileOwner", file.toString(), letters, "--",
                        "setFileGroup", file.toString(), letters, "--",
                        "setFileOwner", file.toString(), "ro\u0000ot"));
    }
}
