package com.zel.io.file.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import org.junit.jupiter.api.Test;

/** Sizes as df -h prints them, with coreutils' own rounding (numfmt) as the oracle. */
class HumanSizeTest {
    @Test
    void agreesWithCoreutilsAtEveryBoundaryAndAtRandom() throws Exception {
        List<Long> values = new ArrayList<>(List.of(0L, 1L, 1023L, Long.MAX_VALUE));
        for (int exponent = 1; exponent <= 6; exponent++) {
            long scale = 1L << 10 * exponent;
            for (long factor : new long[] {1, 9, 10, 1023, 1024}) {
                if (scale <= Long.MAX_VALUE / (factor + 1)) {
                    long edge = scale * factor;
                    values.addAll(List.of(edge - 1, edge, edge + 1, edge + scale / 10, edge + scale / 2));
                }
            }
        }
        Random random = new Random(8);
        for (int i = 0; i < 300; i++) {
            values.add(random.nextLong() >>> 1 + random.nextInt(63));
        }
        List<String> command = new ArrayList<>(List.of("numfmt", "--to=iec", "--round=up"));
        values.forEach(v -> command.add(Long.toString(v)));
        List<String> expected = run(command);
        assertEquals(values.size(), expected.size());
        for (int i = 0; i < values.size(); i++) {
            assertEquals(expected.get(i), HumanSize.format(values.get(i)), "for " + values.get(i));
        }
    }

    private static List<String> run(List<String> command) throws IOException, InterruptedException {
        Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
        String out = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, process.waitFor(), out);
        return out.lines().toList();
    }
}
