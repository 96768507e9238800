package com.zel.io.file.bench;

import com.zel.io.file.FileCapabilities;
import com.zel.io.file.PosixAcls;
import java.io.File;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Locale;

/**
 * Reading a file's ACL and its capability set: the library through the JVM, against the C floor
 * (acl_get_file, cap_get_file in nativefile_acl_cap_floor), against the frame floor (the same
 * program making the calls no read of the library can do without: the examined file reopened, the
 * read through its descriptor, a name for each named entry, a capability set's text) and against
 * getfacl and getcap run as processes, which is what Java programs do today. Needs root (setcap);
 * prints a Markdown table of CPU time per call, the wall-clock time in parentheses.
 * The floor's path is the system property nativefile.bench.aclcapfloor.
 */
final class AclCapBench {
    private interface Op {
        long call() throws Exception;
    }

    private AclCapBench() {}

    public static void main(String[] args) throws Exception {
        int rounds = args.length > 0 ? Integer.parseInt(args[0]) : 7;
        Path dir = Files.createTempDirectory("nativefile-aclcap");
        Path file = Files.createFile(dir.resolve("f"));
        Path plain = Files.createFile(dir.resolve("plain"));
        try {
            PosixAcls.modify(file, PosixAcls.Type.ACCESS, PosixAcls.parse("u:nobody:rx,g:adm:r"));
            FileCapabilities.set(file, "cap_net_bind_service=ep");
            List<String> rows = new ArrayList<>();
            double[] acl = perCall(rounds, 200_000, () -> PosixAcls.get(file, PosixAcls.Type.ACCESS).size());
            double[] base = perCall(rounds, 200_000, () -> PosixAcls.get(plain, PosixAcls.Type.ACCESS).size());
            double[] caps = perCall(rounds, 200_000, () -> FileCapabilities.get(file).map(String::length).orElse(0));
            String[] floor = floor(file);
            String[] plainFloor = floor(plain);
            double getfacl = perCall(rounds, 40, () -> run("getfacl", "-cp", file.toString()))[1];
            double getcap = perCall(rounds, 40, () -> run("getcap", file.toString()))[1];
            rows.add(row("a file's ACL (4 entries, 2 named)", "PosixAcls.get", acl, floor[2], "acl_get_file", floor[0], getfacl,
                    "getfacl -cp"));
            rows.add(row("a file's ACL from its mode (3 entries, no names)", "PosixAcls.get", base, plainFloor[2], "acl_get_file",
                    plainFloor[0], getfacl, "getfacl -cp"));
            rows.add(row("a file's capability set", "FileCapabilities.get", caps, floor[3], "cap_get_file", floor[1], getcap, "getcap"));
            System.out.println("| what is read | library through the JVM | frame floor (C) | C floor | tool as a process (wall) |");
            System.out.println("|---|---|---|---|---|");
            rows.forEach(System.out::println);
        } finally {
            Files.deleteIfExists(file);
            Files.deleteIfExists(plain);
            Files.deleteIfExists(dir);
        }
    }

    private static String row(String what, String call, double[] ns, String frame, String floorCall, String floor, double toolNs,
            String tool) {
        return String.format(Locale.ROOT, "| %s | %s: %.2f (%.2f) µs | %s µs | %s: %s µs | %s: %.0f µs |", what, call, ns[0] / 1000,
                ns[1] / 1000, frame, floorCall, floor, tool, toolNs / 1000);
    }

    // The medians of the rounds' nanoseconds per call, after a round to warm up: the thread's CPU
    // time (user and system), which other engineers' jobs on a shared machine disturb far less than
    // the wall-clock time, and the wall-clock time.
    private static double[] perCall(int rounds, int calls, Op op) throws Exception {
        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        List<Double> cpu = new ArrayList<>();
        List<Double> wall = new ArrayList<>();
        long sink = 0;
        for (int round = 0; round <= rounds; round++) {
            long start = System.nanoTime();
            long startCpu = threads.getCurrentThreadCpuTime();
            for (int i = 0; i < calls; i++) {
                sink += op.call();
            }
            if (round > 0) {
                cpu.add((threads.getCurrentThreadCpuTime() - startCpu) / (double) calls);
                wall.add((System.nanoTime() - start) / (double) calls);
            }
        }
        if (sink == 42) {
            System.out.print("");
        }
        Collections.sort(cpu);
        Collections.sort(wall);
        return new double[] {cpu.get(cpu.size() / 2), wall.get(wall.size() / 2)};
    }

    private static long run(String... command) throws Exception {
        Process p = new ProcessBuilder(command).redirectErrorStream(true).redirectInput(new File("/dev/null")).start();
        long bytes = p.getInputStream().readAllBytes().length;
        if (p.waitFor() != 0) {
            throw new IllegalStateException(String.join(" ", command) + " failed");
        }
        return bytes;
    }

    // The floor's medians, in microseconds of CPU time (of wall-clock time), for acl_get_file,
    // cap_get_file and the frame floors of each.
    private static String[] floor(Path file) throws Exception {
        Process p = new ProcessBuilder(System.getProperty("nativefile.bench.aclcapfloor"), "--benchmark_format=csv",
                "--benchmark_repetitions=7", "--benchmark_report_aggregates_only=true", file.toString())
                .redirectErrorStream(false).start();
        List<String> lines = Arrays.asList(new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8).split("\n"));
        p.waitFor();
        String[] names = {"acl_get_file", "cap_get_file", "acl_frame", "cap_frame"};
        String[] medians = new String[names.length];
        for (String line : lines) {
            String[] cells = line.split(",");
            for (int i = 0; i < names.length; i++) {
                if (cells[0].equals("\"" + names[i] + "_median\"")) {
                    medians[i] = String.format(Locale.ROOT, "%.2f (%.2f)", Double.parseDouble(cells[3]) / 1000,
                            Double.parseDouble(cells[2]) / 1000);
                }
            }
        }
        return medians;
    }
}
