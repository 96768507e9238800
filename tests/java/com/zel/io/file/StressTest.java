package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.EnumSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Sixteen threads calling every native method at once, in a child JVM (see Stress), inside a
 * private mount namespace where a shell loop mounts and unmounts tmpfs file systems the whole time
 * and the user and group files are replaced by large ones: a group of 5,000 members and a user
 * entry of 40 KB head the files, so that every lookup needs more than the first buffer.
 */
class StressTest {
    private static final int THREADS = 16;
    private static final Pattern LOG_PREFIX = Pattern.compile("Time: \\[0x[0-9a-f]+\\], Thread ID: \\[0x[0-9A-F]{8}\\]: ");
    private static final Pattern RECORD_START = Pattern.compile("Time: \\[0x");
    /** The library's messages that end without a line end, so that the next line runs on. */
    private static final List<String> UNTERMINATED =
            List.of(
                    "Current process is running under standard user authority.",
                    "Pointer for mode_t data was NULL, therefore not setting values.");
    private static final Pattern CALLS = Pattern.compile("calls (\\w+) (\\d+)");

    @TempDir Path dir;
    private Path base;
    private Path db;

    @BeforeEach
    void needsRoot() throws IOException {
        assumeTrue(Child.isRoot(), "needs root for a private mount namespace");
        Child.openToAll(dir);
        base = Files.createDirectory(dir.resolve("fs"));
        db = Files.createDirectory(dir.resolve("db"));
        StringBuilder passwd = new StringBuilder();
        passwd.append("bigentry:x:5000:5000:").append("g".repeat(40_000)).append(":/nonexistent:/usr/sbin/nologin\n");
        passwd.append("root:x:0:0:root:/root:/bin/sh\n");
        passwd.append("daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n");
        passwd.append("nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n");
        for (int i = 0; i < 200; i++) {
            passwd.append("su").append(i).append(":x:").append(20000 + i).append(':').append(30000 + i)
                    .append("::/nonexistent:/usr/sbin/nologin\n");
        }
        StringBuilder group = new StringBuilder("biggroup:x:40000:");
        for (int i = 0; i < 5000; i++) {
            group.append(i == 0 ? "" : ",").append(String.format("member%05d", i));
        }
        group.append("\nroot:x:0:\ndaemon:x:1:\nnogroup:x:65534:\n");
        for (int i = 0; i < 200; i++) {
            group.append("sg").append(i).append(":x:").append(30000 + i).append(":\n");
        }
        Files.writeString(db.resolve("passwd"), passwd);
        Files.writeString(db.resolve("group"), group);
    }

    /** What a stress run printed, its status, and its calls per method. */
    record Run(int status, String err, long logLines, List<String> brokenLines, long runOns, Map<String, Long> calls) {}

    /**
     * The namespace's setup: a private tmpfs to work on, the large user and group files, and the
     * loop that mounts and unmounts four small tmpfs until the JVM that follows is gone (bounded
     * should it never go).
     */
    private String setup() {
        String fs = "'" + base + "'";
        return String.join("\n",
                "mount -t tmpfs -o size=64m,mode=1777 tmpfs " + fs,
                "mount --bind '" + db.resolve("passwd") + "' /etc/passwd",
                "mount --bind '" + db.resolve("group") + "' /etc/group",
                "mkdir -m 755 " + fs + "/mnt " + fs + "/mnt/0 " + fs + "/mnt/1 " + fs + "/mnt/2 " + fs + "/mnt/3",
                "main=$$",
                "(",
                "  i=0",
                "  while kill -0 $main 2>/dev/null && [ $i -lt 3000 ]; do",
                "    for n in 0 1 2 3; do mount -t tmpfs -o size=1m tmpfs " + fs + "/mnt/$n || :; done",
                "    sleep 0.01",
                "    for n in 0 1 2 3; do umount " + fs + "/mnt/$n || :; done",
                "    sleep 0.01",
                "    i=$((i + 1))",
                "  done",
                ") </dev/null >/dev/null 2>&1 &");
    }

    private Run stress(String mode, int seconds, boolean asNobody, Map<String, String> env) {
        List<String> prefix = new ArrayList<>(Child.inPrivateMounts(setup()));
        if (asNobody) {
            prefix.addAll(Child.AS_NOBODY);
        }
        List<String> command =
                Child.javaCommand(
                        prefix, List.of(), Stress.class.getName(), mode, Integer.toString(THREADS), Integer.toString(seconds), base.toString());
        long[] counts = new long[2];
        List<String> broken = new ArrayList<>();
        Child.Result result =
                Child.run(command, env, line -> {
                    counts[0]++;
                    if (!isWholeLogLine(line)) {
                        if (broken.size() < 5) {
                            broken.add(line);
                        }
                    } else if (RECORD_START.matcher(line).results().count() > 1) {
                        counts[1]++;
                    }
                });
        assertFalse(Child.reportsJniProblem(result.err()), result.err());
        Map<String, Long> calls = new TreeMap<>();
        Matcher m = CALLS.matcher(result.err());
        while (m.find()) {
            calls.put(m.group(1), Long.parseLong(m.group(2)));
        }
        System.out.printf("stress %s%s: %d calls, %d log lines%n",
                mode, asNobody ? " as nobody" : "", calls.values().stream().mapToLong(Long::longValue).sum(), counts[0]);
        return new Run(result.status(), result.err(), counts[0], broken, counts[1], calls);
    }

    /**
     * A line of the log as one printf wrote it: a prefix and a message, where only a message that
     * the library prints without a line end may be followed on the same line by another record.
     */
    static boolean isWholeLogLine(String line) {
        List<Integer> starts = RECORD_START.matcher(line).results().map(r -> r.start()).toList();
        if (starts.isEmpty() || starts.get(0) != 0) {
            return false;
        }
        for (int i = 0; i < starts.size(); i++) {
            String record = line.substring(starts.get(i), i + 1 < starts.size() ? starts.get(i + 1) : line.length());
            if (!LOG_PREFIX.matcher(record).lookingAt()) {
                return false;
            }
            if (i + 1 < starts.size() && UNTERMINATED.stream().noneMatch(record::endsWith)) {
                return false;
            }
        }
        return true;
    }

    private static void assertClean(Run run, Set<Stress.Method> methods) {
        assertEquals(0, run.status(), run.err());
        assertTrue(run.err().contains("failures 0"), run.err());
        for (Stress.Method method : methods) {
            assertTrue(run.calls().getOrDefault(method.name(), 0L) >= THREADS, method + " too rarely called: " + run.err());
        }
        assertEquals(List.of(), run.brokenLines(), "lines not written whole");
    }

    @Test
    void everyMethodOnSixteenThreadsWhileMountsComeAndGo() {
        Run run = stress("mixed", 6, false, Map.of());
        assertClean(run, EnumSet.allOf(Stress.Method.class));
        assertEquals(0, run.logLines(), "nothing on standard output without the log");
    }

    @Test
    void withBothLogsEveryLineIsWrittenWhole() {
        Run run = stress("mixed", 4, false, Map.of("__JNI_NATIVEFILE_DEBUG", "", "__JNI_NATIVEFILE_ENTRYEXIT", ""));
        assertClean(run, EnumSet.allOf(Stress.Method.class));
        assertTrue(run.logLines() > THREADS * 24, "log lines: " + run.logLines());
    }

    @Test
    void asAnOrdinaryUserWithTheDebugLogTheUnterminatedLineRunsOnWhole() {
        Run run = stress("mixed", 3, true, Map.of("__JNI_NATIVEFILE_DEBUG", ""));
        assertClean(run, EnumSet.allOf(Stress.Method.class));
        assertTrue(run.runOns() > 0, "no line ran on after the free-space line of an ordinary user");
    }

    @Test
    void reentrantLookupsByNameUnderLoad() {
        Run run = stress("lookups", 3, false, Map.of());
        assertClean(run, EnumSet.of(
                Stress.Method.getFileOwner, Stress.Method.getFileGroup, Stress.Method.setFileOwner, Stress.Method.setFileGroup));
    }
}
