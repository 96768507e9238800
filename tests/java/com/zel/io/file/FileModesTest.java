package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.HashSet;
import java.util.Set;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/** Modes to and from permission sets and ls strings, for every one of the 4096 modes. */
class FileModesTest {
    private static final int SPECIAL_BITS = 07000;

    // Each special bit takes its class's execute position: lower case over a
    // set execute bit, upper case over a clear one; nothing else changes.
    @Test
    void everyModeAgreesWithTheJdkParsesBackAndMarksItsSpecialBits() {
        int[] bits = {FileModes.SET_UID, FileModes.SET_GID, FileModes.STICKY};
        Set<String> seen = new HashSet<>();
        for (int mode = 0; mode <= 07777; mode++) {
            Set<PosixFilePermission> permissions = FileModes.toPermissions(mode);
            assertEquals(PosixFilePermissions.toString(permissions), FileModes.toLsString(mode & 0777), octal(mode));
            assertEquals(mode & 0777, FileModes.fromPermissions(permissions), octal(mode));
            assertEquals(permissions, FileModes.toPermissions(mode | 0170000), "type bits are ignored");
            String text = FileModes.toLsString(mode);
            assertEquals(mode, FileModes.fromLsString(text), text);
            assertEquals(text, FileModes.toLsString(mode | 0100000), "type bits are ignored");
            seen.add(text);
            StringBuilder expected = new StringBuilder(FileModes.toLsString(mode & ~SPECIAL_BITS));
            for (int c = 0; c < 3; c++) {
                if ((mode & bits[c]) != 0) {
                    char mark = "sst".charAt(c);
                    expected.setCharAt(3 * c + 2, (mode & (0100 >> 3 * c)) != 0 ? mark : Character.toUpperCase(mark));
                }
            }
            assertEquals(expected.toString(), text, octal(mode));
        }
        assertEquals(4096, seen.size());
    }

    @ParameterizedTest
    @CsvSource({"4755, rwsr-xr-x", "1777, rwxrwxrwt", "2640, rw-r-S---", "7000, --S--S--T", "0, ---------", "7777, rwsrwsrwt"})
    void knownModes(String octal, String text) {
        assertEquals(text, FileModes.toLsString(Integer.parseInt(octal, 8)));
    }

    @ParameterizedTest
    @ValueSource(strings = {"", "rwxr-xr-", "rwxr-xr-xx", "-rwxr-xr-x", "rwtr-xr-x", "rwxr-xr-s", "wrxr-xr-x", "rwxr-xr-X"})
    void malformedLsStringsAreRejected(String text) {
        assertThrows(IllegalArgumentException.class, () -> FileModes.fromLsString(text));
    }

    private static String octal(int mode) {
        return Integer.toOctalString(mode);
    }
}
