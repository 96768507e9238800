package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Path;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Many calls in one JVM (see Soak) must not grow its resident memory beyond noise: a leak of 16
 * bytes a call, native or of JNI references, would show as 16 MiB over a million calls, and with
 * both logs on, over a million lines, a leak of 16 bytes a line. The heap is fixed and touched at
 * start, so that its growth does not count.
 */
class SoakTest {
    private static final long NOISE_KIB = 16 * 1024;
    private static final List<String> JVM_OPTIONS = List.of("-Xms64m", "-Xmx64m", "-XX:+AlwaysPreTouch", "-XX:+UseSerialGC");
    private static final Pattern FIGURE = Pattern.compile("([a-z-]+) ([\\d.]+)");

    @TempDir Path dir;

    private Map<String, Double> soak(long calls, long warmUp, Map<String, String> env) {
        // The sanitizer's quarantine and shadow memory swamp any resident figure.
        assumeTrue(System.getenv("NATIVEFILE_SANITIZER_RUNTIME") == null, "memory is not measured under the sanitizer");
        long[] lines = new long[2];
        Child.Result r = Child.run(
                Child.javaCommand(List.of(), JVM_OPTIONS, Soak.class.getName(), Long.toString(calls), Long.toString(warmUp), dir.toString()),
                env, line -> {
                    lines[0]++;
                    if (!StressTest.isWholeLogLine(line)) {
                        lines[1]++;
                    }
                });
        assertEquals(0, r.status(), r.err());
        assertFalse(Child.reportsJniProblem(r.err()), r.err());
        assertEquals(0, lines[1], "lines on standard output that are no log lines");
        Map<String, Double> figures = new HashMap<>();
        Matcher m = FIGURE.matcher(r.err());
        while (m.find()) {
            figures.put(m.group(1), Double.parseDouble(m.group(2)));
        }
        figures.put("log-lines", (double) lines[0]);
        long growth = (long) (figures.get("rss-after-kib") - figures.get("rss-before-kib"));
        System.out.printf("soak %s: %.0f calls in %.1f s, %.0f log lines, VmRSS %.0f KiB -> %.0f KiB (%+d KiB)%n",
                env.isEmpty() ? "without log" : "with both logs", figures.get("calls"), figures.get("seconds"),
                figures.get("log-lines"), figures.get("rss-before-kib"), figures.get("rss-after-kib"), growth);
        assertTrue(figures.get("calls") >= calls, r.err());
        assertTrue(growth < NOISE_KIB, "resident memory grew by " + growth + " KiB: " + r.err());
        return figures;
    }

    @Test
    void aMillionMixedCallsLeaveResidentMemoryFlat() {
        assertEquals(0, soak(1_000_000, 100_000, Map.of()).get("log-lines"));
    }

    @Test
    void withBothLogsTheLinesLeaveNothingBehind() {
        Map<String, Double> figures =
                soak(200_000, 20_000, Map.of("__JNI_NATIVEFILE_DEBUG", "", "__JNI_NATIVEFILE_ENTRYEXIT", ""));
        assertTrue(figures.get("log-lines") > 1_000_000, "log lines: " + figures.get("log-lines"));
    }
}
