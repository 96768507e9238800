package com.zel.io.file.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** chmod's MODE, checked against what coreutils' chmod makes of the same mode on a real file. */
class ModeChangeTest {
    private static final int UMASK = 022;
    private static final int[] STARTS = {0, 0600, 0644, 0744, 0755, 01777, 02750, 04755, 07777};
    private static final String[] MODES = {
        "4755", "755", "0", "7777", "1777", "u=rwx,g=rx,o=", "u+s", "g+s", "+t", "o+t", "u+t", "a+s",
        "+s", "-s", "=", "+w", "-w", "a-x", "u-x", "go-rwx", "a=r", "u=rw,go=r", "ug+x-w", "o=t", "=rwx",
        "g=s", "u=", "o-t", "=t", "a+X", "+X", "u+rX", "go+X", "ugo+rwxst", "+-", "u=rwx,u-w,+t"
    };

    private record Case(int start, String mode, boolean directory) {}

    @Test
    void everyModeDoesWhatCoreutilsChmodDoes(@TempDir Path dir) throws Exception {
        List<Case> cases = new ArrayList<>();
        StringBuilder script = new StringBuilder("umask 022\ncd '" + dir + "'\ntouch f\nmkdir d\n");
        for (int start : STARTS) {
            for (String mode : MODES) {
                cases.add(new Case(start, mode, false));
                script.append(String.format("chmod %o f && chmod -- '%s' f && stat -c %%a f%n", start, mode));
            }
            // On a directory only X differs; coreutils keeps its set-ID bits otherwise.
            for (String mode : new String[] {"a+X", "+X", "go+X"}) {
                cases.add(new Case(start & 0777, mode, true));
                script.append(String.format("chmod %o d && chmod -- '%s' d && stat -c %%a d%n", start & 0777, mode));
            }
        }
        List<String> actual = shell(script.toString());
        assertEquals(cases.size(), actual.size(), actual.toString());
        for (int i = 0; i < cases.size(); i++) {
            Case c = cases.get(i);
            int mode = ModeChange.parse(c.mode()).apply(c.start(), c::directory, UMASK);
            assertEquals(actual.get(i), Integer.toOctalString(mode), c.toString());
        }
    }

    @Test
    void octalModesNeedNoCurrentModeAndSymbolicOnesDo() {
        assertFalse(ModeChange.parse("4755").editsMode());
        assertTrue(ModeChange.parse("u+s").editsMode());
    }

    @Test
    void theDirectoryIsAskedOnlyForX() {
        assertEquals(0755, ModeChange.parse("u+x,go+rx").apply(0644, () -> {
            throw new AssertionError("asked");
        }, UMASK));
    }

    @ParameterizedTest
    @ValueSource(strings = {"u+q", "8", "77777", "", "u", "u+x,", ",u+x", "a=rwxq", "g=u", "+ x", "rwx"})
    void malformedModesAreRejected(String mode) {
        assertThrows(IllegalArgumentException.class, () -> ModeChange.parse(mode));
    }

    @Test
    void dashModesAreTakenForModesNotOptions() {
        assertTrue(ModeChange.looksLikeMode("-w"));
        assertTrue(ModeChange.looksLikeMode("-x,o+t"));
        assertFalse(ModeChange.looksLikeMode("--json"));
        assertFalse(ModeChange.looksLikeMode("--"));
        assertFalse(ModeChange.looksLikeMode("-q"));
    }

    private static List<String> shell(String script) throws Exception {
        Process process = new ProcessBuilder("sh", "-ec", script).redirectErrorStream(true).start();
        String out = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, process.waitFor(), out);
        return out.lines().toList();
    }
}
