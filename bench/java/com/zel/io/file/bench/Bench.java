package com.zel.io.file.bench;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;

/**
 * The benchmark driver: makes the files, times the floor (a C++ program) and the native methods
 * and Java's equivalents (forked JVMs) in three locales, thread scaling in one, and writes
 * results.md and results.json.
 *
 * <p>Usage: {@code Bench [--smoke] [--forks N] [--rounds N] --out DIR}, or {@code Bench --threads
 * [--round-ms N] [--forks N] [--rounds N] --out DIR} for the mount table on 2 threads alone, or {@code Bench --fixture
 * DIR} to make the files alone. System properties name the pieces: {@code nativefile.bench.floor}
 * (the C++ program), {@code nativefile.bench.barejni} (the bare JNI library) and {@code
 * com.zel.io.file.library} (the library under test).
 */
public final class Bench {
    private static final String UTF8 = "C.UTF-8";
    private static final String LATIN1 = "ISO-8859-1";

    private Bench() {}

    /** How much is measured; the floor's repetitions are those of each fork. */
    private record Plan(int forks, int rounds, int roundMs, int warmupMs, int scalingRounds, int scalingMs,
                        int floorRepetitions, double floorSeconds) {}

    /** A locale the benchmark runs in, by its environment, and the encoding a JVM finds in it. */
    private record Setting(String label, Map<String, String> env, String encoding) {}

    /** Medians and quartiles of a sample. */
    private record Stat(double median, double p25, double p75, int count) {
        static Stat of(List<Double> values) {
            double[] v = values.stream().mapToDouble(Double::doubleValue).sorted().toArray();
            return new Stat(at(v, 0.5), at(v, 0.25), at(v, 0.75), v.length);
        }

        private static double at(double[] sorted, double q) {
            double index = q * (sorted.length - 1);
            int low = (int) Math.floor(index);
            int high = (int) Math.ceil(index);
            return sorted[low] + (sorted[high] - sorted[low]) * (index - low);
        }

        /** Half the interquartile range, relative to the median. */
        double spread() {
            return (p75 - p25) / 2 / median;
        }
    }

    /** Everything measured in one locale. */
    private record Measured(Map<String, Stat> floor, Map<String, Stat> calls) {}

    public static void main(String[] args) throws Exception {
        List<String> arguments = Arrays.asList(args);
        if (arguments.size() == 2 && arguments.get(0).equals("--fixture")) {
            Cases.makeFiles(Path.of(args[1]));
            return;
        }
        boolean smoke = arguments.contains("--smoke");
        Plan plan = smoke
                ? new Plan(1, 2, 1, 5, 1, 5, 1, 0.001)
                : new Plan(option(arguments, "--forks", 3), option(arguments, "--rounds", 20), 10, 300, 5, 100,
                        4, 0.05);
        int out = arguments.indexOf("--out");
        if (out < 0) {
            throw new IllegalArgumentException(
                    "usage: Bench [--smoke] [--threads [--round-ms N]] [--forks N] [--rounds N] --out DIR");
        }
        Path results = Path.of(args[out + 1]);
        Files.createDirectories(results);

        Path work = Files.createTempDirectory("nativefile-bench-");
        try {
            Path dir = work.resolve("files");
            Cases.makeFiles(dir);
            if (arguments.contains("--threads")) {
                threads(results, dir, option(arguments, "--forks", 1), option(arguments, "--rounds", 30),
                        smoke ? 5 : option(arguments, "--round-ms", 300));
                return;
            }
            String loadBefore = load();
            Map<String, Measured> measured = new LinkedHashMap<>();
            List<Setting> settings = settings(work);
            // The floor runs between the forks, and the locales take turns,
            // so that all meet the same spells of the machine.
            Map<String, Map<String, List<Double>>> floors = new LinkedHashMap<>();
            Map<String, Map<String, List<Double>>> calls = new LinkedHashMap<>();
            for (int fork = 0; fork < plan.forks(); fork++) {
                for (Setting setting : settings) {
                    System.err.println("bench: " + setting.label() + ", fork " + (fork + 1) + " of " + plan.forks());
                    merge(floors.computeIfAbsent(setting.label(), k -> new LinkedHashMap<>()),
                            floor(setting, dir, plan, "-^scaling/"));
                    merge(calls.computeIfAbsent(setting.label(), k -> new LinkedHashMap<>()),
                            fork("calls", setting, dir, plan.warmupMs(), plan.rounds(), plan.roundMs()));
                }
            }
            for (Setting setting : settings) {
                measured.put(setting.label(),
                        new Measured(stats(floors.get(setting.label())), stats(calls.get(setting.label()))));
            }
            System.err.println("bench: thread scaling");
            Map<String, List<Double>> scaling = new LinkedHashMap<>();
            Map<String, List<Double>> machineScaling = new LinkedHashMap<>();
            for (int fork = 0; fork < plan.forks(); fork++) {
                merge(machineScaling, floor(settings.get(0), dir, plan, "^scaling/"));
                merge(scaling, fork("scaling", settings.get(0), dir, plan.warmupMs(), plan.scalingRounds(),
                        plan.scalingMs()));
            }
            int mountPoints = Files.readAllLines(Path.of("/proc/self/mounts")).size();
            Report report = new Report(machine(loadBefore, load()), plan.toString(), measured, stats(scaling),
                    stats(machineScaling), mountPoints);
            Files.writeString(results.resolve("results.md"), report.markdown());
            Files.writeString(results.resolve("results.json"), report.json());
            System.out.print(report.markdown());
            System.out.println("bench: written to " + results);
        } finally {
            try (Stream<Path> paths = Files.walk(work)) {
                paths.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
            }
        }
    }

    // The mount table on 2 threads (tools/bench.sh --threads): each case's
    // throughput on 2 threads over 1, per round, beside libmount's own read
    // in C measured in the same rounds, and the quotient of the two per
    // round: how much of the machine's ceiling the method reaches.
    private static void threads(Path results, Path dir, int forks, int rounds, int roundMs) throws Exception {
        String loadBefore = load();
        Map<String, List<Double>> ratios = new LinkedHashMap<>();
        for (int fork = 0; fork < forks; fork++) {
            System.err.println("bench: the mount table on 1 and 2 threads, fork " + (fork + 1) + " of " + forks);
            merge(ratios, fork("scaling", new Setting(UTF8, Map.of("LC_ALL", UTF8), "UTF-8"), dir, 2000, rounds,
                    roundMs, String.join(";", Cases.MOUNT_SCALING)));
        }
        List<String> methods = Cases.MOUNT_SCALING.subList(2, Cases.MOUNT_SCALING.size());
        List<Double> floor = ratios.get(Cases.MOUNT_FLOOR);
        Map<String, List<Double>> columns = new LinkedHashMap<>();
        Cases.MOUNT_SCALING.forEach(name -> columns.put(name, ratios.get(name)));
        for (String name : methods) {
            List<Double> quotients = new ArrayList<>();
            for (int round = 0; round < floor.size(); round++) quotients.add(ratios.get(name).get(round) / floor.get(round));
            columns.put(name + " ÷ floor", quotients);
        }
        Cases.MOUNT_SCALING.forEach(name -> columns.put(CPU + name, ratios.get(CPU + name)));
        StringBuilder md = new StringBuilder("# The mount table on 2 threads\n\n");
        machine(loadBefore, load()).forEach((k, v) -> md.append("- ").append(k).append(": ").append(v).append('\n'));
        md.append("\nPer round of ").append(roundMs).append(" ms a measurement, each case on 1 thread and on 2 next to "
                + "each other in one JVM: the throughput of 2 threads over that of 1; each method's figure over the C "
                + "floor's of the same round; and (cpu:) the calls per second of the threads' own CPU time, 2 threads "
                + "over 1, which stays near 1 where the calls cost each other nothing while they run at once.\n\n| Round |");
        columns.keySet().forEach(name -> md.append(' ').append(name).append(" |"));
        md.append("\n|--:|").append("--:|".repeat(columns.size())).append('\n');
        for (int round = 0; round < floor.size(); round++) {
            md.append("| ").append(round + 1).append(" |");
            for (List<Double> values : columns.values()) md.append(String.format(Locale.ROOT, " %.2f |", values.get(round)));
            md.append('\n');
        }
        md.append("| **median** (quartiles) |");
        for (List<Double> values : columns.values()) {
            Stat stat = Stat.of(values);
            md.append(String.format(Locale.ROOT, " **%.2f** (%.2f–%.2f) |", stat.median(), stat.p25(), stat.p75()));
        }
        md.append('\n');
        Files.writeString(results.resolve("threads.md"), md);
        System.out.print(md);
        System.out.println("bench: written to " + results.resolve("threads.md"));
    }

    private static int option(List<String> arguments, String name, int fallback) {
        int at = arguments.indexOf(name);
        return at < 0 ? fallback : Integer.parseInt(arguments.get(at + 1));
    }

    // The UTF-8 and C locales, and a Latin-1 locale made with localedef,
    // whose texts must go through iconv. Without localedef that one is left
    // out, and the report says so.
    private static List<Setting> settings(Path work) throws Exception {
        List<Setting> settings = new ArrayList<>();
        settings.add(new Setting(UTF8, Map.of("LC_ALL", UTF8), "UTF-8"));
        settings.add(new Setting("C", Map.of("LC_ALL", "C"), "ANSI_X3.4-1968"));
        Path locales = work.resolve("locales");
        Files.createDirectories(locales);
        Path latin1 = locales.resolve("en_US.ISO-8859-1");
        new ProcessBuilder("localedef", "-c", "-i", "en_US", "-f", LATIN1, latin1.toString())
                .redirectErrorStream(true).redirectOutput(ProcessBuilder.Redirect.DISCARD).start().waitFor();
        if (Files.exists(latin1)) {
            settings.add(new Setting(LATIN1, Map.of("LC_ALL", "en_US.ISO-8859-1", "LOCPATH", locales.toString()),
                    LATIN1));
        }
        return settings;
    }

    // ---------------------------------------------------------------- runs

    private static Process start(List<String> command, Setting setting) throws IOException {
        ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
        Map<String, String> env = builder.environment();
        // Logging off, and the locale this setting names and nothing else.
        env.keySet().removeIf(k -> k.startsWith("__JNI_NATIVEFILE") || k.startsWith("LC_") || k.equals("LANG")
                || k.equals("LANGUAGE") || k.equals("LOCPATH"));
        env.putAll(setting.env());
        return builder.start();
    }

    private static List<String> lines(Process process, List<String> command) throws Exception {
        List<String> lines = new ArrayList<>();
        try (BufferedReader reader = new BufferedReader(
                new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8))) {
            for (String line; (line = reader.readLine()) != null; ) lines.add(line);
        }
        if (process.waitFor() != 0) {
            lines.forEach(System.err::println);
            throw new IOException("failed: " + String.join(" ", command));
        }
        return lines;
    }

    // The C++ floor, each repetition one sample.
    private static Map<String, List<Double>> floor(Setting setting, Path dir, Plan plan, String filter)
            throws Exception {
        Path json = dir.resolveSibling("floor.json");
        List<String> command = List.of(System.getProperty("nativefile.bench.floor"),
                "--benchmark_filter=" + filter,
                "--benchmark_repetitions=" + plan.floorRepetitions(),
                String.format(Locale.ROOT, "--benchmark_min_time=%g", plan.floorSeconds()),
                "--benchmark_out=" + json, "--benchmark_out_format=json", dir.toString());
        lines(start(command, setting), command);
        return samples(Files.readString(json));
    }

    // Google Benchmark's entries are flat objects: one per repetition
    // ("iteration"), then the aggregates, which are not samples.
    private static Map<String, List<Double>> samples(String json) {
        Map<String, List<Double>> values = new LinkedHashMap<>();
        Matcher entry = Pattern.compile("\\{[^{}]*\\}").matcher(json.substring(json.indexOf("\"benchmarks\"")));
        while (entry.find()) {
            String object = entry.group();
            if (!field(object, "run_type").equals("iteration")) continue;
            double scale = switch (field(object, "time_unit")) {
                case "us" -> 1e3;
                case "ms" -> 1e6;
                case "s" -> 1e9;
                default -> 1;
            };
            values.computeIfAbsent(field(object, "run_name"), k -> new ArrayList<>())
                    .add(Double.parseDouble(field(object, "real_time")) * scale);
        }
        return values;
    }

    private static String field(String object, String name) {
        Matcher m = Pattern.compile("\"" + name + "\":\\s*\"?([^\",]*)\"?").matcher(object);
        return m.find() ? m.group(1).trim() : "";
    }

    // The key of a case's calls per CPU second, 2 threads over 1.
    private static final String CPU = "cpu: ";

    private static List<String> runner(String mode, Path dir, int warmupMs, int rounds, int roundMs,
                                       String... cases) {
        List<String> command = new ArrayList<>(List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Xms512m", "-Xmx512m",
                "-cp", System.getProperty("java.class.path"),
                "-Dnativefile.bench.barejni=" + System.getProperty("nativefile.bench.barejni"),
                "-Dcom.zel.io.file.library=" + System.getProperty("com.zel.io.file.library"),
                Runner.class.getName(), mode, dir.toString(),
                String.valueOf(warmupMs), String.valueOf(rounds), String.valueOf(roundMs)));
        command.addAll(List.of(cases));
        return command;
    }

    // One forked JVM; each round is one sample.
    private static Map<String, List<Double>> fork(String mode, Setting setting, Path dir, int warmupMs, int rounds,
                                                  int roundMs, String... cases) throws Exception {
        Map<String, List<Double>> values = new LinkedHashMap<>();
        List<String> command = runner(mode, dir, warmupMs, rounds, roundMs, cases);
        for (String line : lines(start(command, setting), command)) {
            String[] parts = line.split(" ", 3);
            if (parts[0].equals("encoding") && !parts[1].equals(setting.encoding())) {
                throw new IOException("the JVM runs in " + parts[1] + ", not in " + setting.label());
            }
            if (parts.length == 3 && (parts[0].equals("ns") || parts[0].equals("scale"))) {
                values.computeIfAbsent(parts[2], k -> new ArrayList<>()).add(Double.valueOf(parts[1]));
            }
            if (parts.length == 3 && parts[0].equals("cpu")) {
                values.computeIfAbsent(CPU + parts[2], k -> new ArrayList<>()).add(Double.valueOf(parts[1]));
            }
        }
        return values;
    }

    private static void merge(Map<String, List<Double>> into, Map<String, List<Double>> values) {
        values.forEach((name, sample) -> into.computeIfAbsent(name, k -> new ArrayList<>()).addAll(sample));
    }

    private static Map<String, Stat> stats(Map<String, List<Double>> values) {
        Map<String, Stat> stats = new LinkedHashMap<>();
        values.forEach((name, sample) -> stats.put(name, Stat.of(sample)));
        return stats;
    }

    // ---------------------------------------------------------------- the machine

    private static String load() throws IOException {
        String[] fields = Files.readString(Path.of("/proc/loadavg")).split(" ");
        return fields[0] + " " + fields[1] + " " + fields[2];
    }

    private static Map<String, String> machine(String loadBefore, String loadAfter) throws IOException {
        String cpu = "unknown";
        for (String line : Files.readAllLines(Path.of("/proc/cpuinfo"))) {
            if (line.startsWith("model name")) {
                cpu = line.substring(line.indexOf(':') + 1).trim();
                break;
            }
        }
        Map<String, String> machine = new LinkedHashMap<>();
        machine.put("cpus", String.valueOf(Runtime.getRuntime().availableProcessors()));
        machine.put("cpu", cpu);
        machine.put("kernel", System.getProperty("os.name") + " " + System.getProperty("os.version"));
        machine.put("jdk", System.getProperty("java.vm.name") + " " + System.getProperty("java.runtime.version"));
        machine.put("load before", loadBefore);
        machine.put("load after", loadAfter);
        return machine;
    }

    // ---------------------------------------------------------------- the report

    /** The tables and the JSON, from what was measured. */
    private record Report(Map<String, String> machine, String plan, Map<String, Measured> measured,
                          Map<String, Stat> scaling, Map<String, Stat> machineScaling, int mountPoints) {
        private static final double FLOOR_TARGET = 1.3;
        private static final double LEAN_TARGET = 1.5;
        private static final double THREADS_TARGET = 1.8;
        private static final double LOCALE_TARGET = 1.5;

        Measured at(String label) {
            return measured.get(label);
        }

        double ns(String label, String name) {
            Stat stat = at(label).calls().get(name);
            return stat == null ? Double.NaN : stat.median();
        }

        /** The row's system calls plus its bare JNI calls. */
        double floor(String label, Cases.Row row) {
            return at(label).floor().get(row.floor()).median() + row.jniCalls() * ns(label, Cases.BARE);
        }

        /** The time over the floor plus as many bare JNI calls returning a String as the method makes. */
        double withTexts(String label, Cases.Row row) {
            return ns(label, row.method()) / (floor(label, row) + row.texts(mountPoints) * ns(label, Cases.BARE_TEXT));
        }

        /** The fastest of Java's equivalents, or null. */
        String fastestJava(String label, Cases.Row row) {
            return row.java().stream().min(Comparator.comparingDouble(name -> ns(label, name))).orElse(null);
        }

        double javaRatio(String label, Cases.Row row) {
            String java = fastestJava(label, row);
            return java == null ? Double.NaN : ns(label, row.method()) / ns(label, java);
        }

        /** Throughput of a floor's system calls in C++ on 2 threads over 1: how far the machine lets them scale. */
        double floorScaling(String floor) {
            Stat one = machineScaling.get("scaling/" + floor + "/real_time/threads:1");
            Stat two = machineScaling.get("scaling/" + floor + "/real_time/threads:2");
            return one == null || two == null ? Double.NaN : one.median() / two.median();
        }

        double localeRatio(Cases.Row row) {
            return measured.containsKey(LATIN1) ? ns(LATIN1, row.method()) / ns(UTF8, row.method()) : Double.NaN;
        }

        /** The targets a row misses, as text; empty when it meets them all. */
        List<String> misses(Cases.Row row) {
            List<String> misses = new ArrayList<>();
            double toFloor = ns(UTF8, row.method()) / floor(UTF8, row);
            if (row.query() && toFloor > FLOOR_TARGET) {
                String miss = String.format(Locale.ROOT, "%.2f× floor", toFloor);
                if (row.texts(mountPoints) > 0) {
                    miss += String.format(Locale.ROOT, " (%.2f× with the Strings it returns)", withTexts(UTF8, row));
                }
                misses.add(miss);
            }
            double toJava = javaRatio(UTF8, row);
            double limit = row.lean() ? 1 / LEAN_TARGET : 1;
            if (toJava > limit) misses.add(String.format(Locale.ROOT, "%.2f× Java", toJava));
            double locale = localeRatio(row);
            if (locale > LOCALE_TARGET) misses.add(String.format(Locale.ROOT, "%.2f× in %s", locale, LATIN1));
            Stat threads = scaling.get(row.method());
            if (row.query() && threads != null && threads.median() < THREADS_TARGET) {
                misses.add(String.format(Locale.ROOT, "%.2f× with 2 threads (its system calls in C++: %.2f×)",
                        threads.median(), floorScaling(row.floor())));
            }
            return misses;
        }

        String markdown() {
            StringBuilder md = new StringBuilder();
            md.append("Machine: ").append(machine.get("cpus")).append(" CPUs, ").append(machine.get("cpu"))
                    .append(", ").append(machine.get("kernel")).append(", ").append(machine.get("jdk"))
                    .append("; load average ").append(machine.get("load before")).append(" before, ")
                    .append(machine.get("load after")).append(" after.\n\n");
            md.append("Per call in ").append(UTF8).append(", median of all rounds (± half the interquartile range). ")
                    .append("Floor: the system calls in C++ plus a bare JNI call (")
                    .append(fmt(ns(UTF8, Cases.BARE))).append(" ns; one that reads its String as the library does: ")
                    .append(fmt(ns(UTF8, Cases.BARE_READ))).append(" ns; one that returns a new 11-character String: ")
                    .append(fmt(ns(UTF8, Cases.BARE_TEXT))).append(" ns). Alone: the library called from C++, without "
                            + "the JVM. Java: the fastest of Java's equivalents. Targets: queries (Q) within "
                            + "1.3× their floor, never slower than Java, 1.5× faster (≤ 0.67×) where marked lean (L), "
                            + "2 threads ≥ 1.8× one, Latin-1 locale ≤ 1.5× UTF-8.\n\n");
            md.append("| Method | | ns/call | ± | Floor (system calls) | Floor ns | × floor | Alone ns | Java's equivalent "
                    + "| Java ns | × Java | Targets |\n");
            md.append("|---|---|--:|--:|---|--:|--:|--:|---|--:|--:|---|\n");
            for (Cases.Row row : Cases.ROWS) {
                Stat stat = at(UTF8).calls().get(row.method());
                String java = fastestJava(UTF8, row);
                Stat alone = at(UTF8).floor().get("native/" + row.method());
                List<String> misses = misses(row);
                md.append("| ").append(row.method()).append(" | ").append(row.query() ? "Q" : "")
                        .append(row.lean() ? "L" : "").append(" | ").append(fmt(stat.median()))
                        .append(" | ").append(String.format(Locale.ROOT, "%.0f%%", 100 * stat.spread()))
                        .append(" | ").append(row.floor()).append(row.jniCalls() > 1 ? " (" + row.jniCalls() + " JNI calls)" : "")
                        .append(" | ").append(fmt(floor(UTF8, row)))
                        .append(" | ").append(ratio(stat.median() / floor(UTF8, row)))
                        .append(" | ").append(alone == null ? "" : fmt(alone.median()))
                        .append(" | ").append(java == null ? "none" : "`" + java + "`")
                        .append(" | ").append(java == null ? "" : fmt(ns(UTF8, java)))
                        .append(" | ").append(ratio(javaRatio(UTF8, row)))
                        .append(" | ").append(misses.isEmpty() ? "met" : "missed: " + String.join(", ", misses))
                        .append(" |\n");
            }
            md.append("\nLocales: ns per call, and the Latin-1 locale's time over the UTF-8 locale's.")
                    .append(measured.containsKey(LATIN1) ? "" : " No Latin-1 locale: localedef could not make it.")
                    .append("\n\n");
            md.append("| Method |");
            measured.keySet().forEach(label -> md.append(' ').append(label).append(" ns |"));
            md.append(" ").append(LATIN1).append(" ÷ ").append(UTF8).append(" |\n|---|");
            measured.keySet().forEach(label -> md.append("--:|"));
            md.append("--:|\n");
            for (Cases.Row row : Cases.ROWS) {
                md.append("| ").append(row.method()).append(" |");
                measured.keySet().forEach(label -> md.append(' ').append(fmt(ns(label, row.method()))).append(" |"));
                md.append(' ').append(ratio(localeRatio(row))).append(" |\n");
            }
            md.append("\nThread scaling in ").append(UTF8).append(": throughput of 2 threads over that of 1, "
                    + "median (and quartiles) of the rounds; beside it what the machine allowed meanwhile: the same "
                    + "system calls in C++ (between the forks), and a bare JNI call (in them).\n\n"
                    + "| Query | 2 threads ÷ 1 | its system calls in C++ |\n|---|--:|--:|\n");
            Map<String, String> floors = new LinkedHashMap<>();
            Cases.ROWS.forEach(row -> floors.put(row.method(), row.floor()));
            scaling.forEach((name, stat) -> md.append("| ").append(name.equals(Cases.BARE) ? "(control) " + name : name)
                    .append(" | ")
                    .append(String.format(Locale.ROOT, "%.2f (%.2f–%.2f)", stat.median(), stat.p25(), stat.p75()))
                    .append(" | ").append(floors.containsKey(name) ? ratio(floorScaling(floors.get(name))) : "")
                    .append(" |\n"));
            md.append("\nFloor parts in ").append(UTF8).append(", ns (Google Benchmark, median of the repetitions):\n\n"
                    + "| System calls | ns |\n|---|--:|\n");
            at(UTF8).floor().forEach((name, stat) -> {
                if (!name.startsWith("native/") && !name.startsWith("scaling/")) md.append("| ").append(name).append(" | ").append(fmt(stat.median())).append(" |\n");
            });
            md.append("\nRun: ").append(plan).append('\n');
            return md.toString();
        }

        String json() {
            StringBuilder json = new StringBuilder("{\n  \"machine\": {");
            String separator = "";
            for (Map.Entry<String, String> e : machine.entrySet()) {
                json.append(separator).append(quote(e.getKey())).append(": ").append(quote(e.getValue()));
                separator = ", ";
            }
            json.append("},\n  \"plan\": ").append(quote(plan)).append(",\n  \"bare_jni_ns\": {");
            separator = "";
            for (String label : measured.keySet()) {
                json.append(separator).append(quote(label)).append(": ").append(num(ns(label, Cases.BARE)));
                separator = ", ";
            }
            json.append("},\n  \"bare_jni_read_ns\": ").append(num(ns(UTF8, Cases.BARE_READ)));
            json.append(",\n  \"bare_jni_string_ns\": ").append(num(ns(UTF8, Cases.BARE_TEXT)));
            json.append(",\n  \"mount_points\": ").append(mountPoints);
            json.append(",\n  \"bare_jni_threads_2_over_1\": ")
                    .append(scaling.containsKey(Cases.BARE) ? num(scaling.get(Cases.BARE).median()) : "null");
            json.append(",\n  \"methods\": [");
            separator = "\n";
            for (Cases.Row row : Cases.ROWS) {
                json.append(separator).append("    {\"method\": ").append(quote(row.method()))
                        .append(", \"kind\": ").append(quote(row.kind().name()))
                        .append(", \"floor_calls\": ").append(quote(row.floor()))
                        .append(", \"ns\": ").append(num(ns(UTF8, row.method())))
                        .append(", \"ratio_to_floor\": ").append(num(ns(UTF8, row.method()) / floor(UTF8, row)))
                        .append(", \"ratio_to_floor_with_results\": ")
                        .append(row.texts(mountPoints) > 0 ? num(withTexts(UTF8, row)) : "null")
                        .append(", \"ratio_to_java\": ").append(num(javaRatio(UTF8, row)))
                        .append(", \"ratio_latin1_to_utf8\": ").append(num(localeRatio(row)));
                Stat threads = scaling.get(row.method());
                json.append(", \"threads_2_over_1\": ").append(threads == null ? "null" : num(threads.median()))
                        .append(", \"floor_threads_2_over_1\": ").append(num(floorScaling(row.floor())));
                json.append(", \"targets_missed\": [");
                String inner = "";
                for (String miss : misses(row)) {
                    json.append(inner).append(quote(miss));
                    inner = ", ";
                }
                json.append("], \"locales\": {");
                inner = "";
                for (String label : measured.keySet()) {
                    Stat stat = at(label).calls().get(row.method());
                    Stat alone = at(label).floor().get("native/" + row.method());
                    json.append(inner).append(quote(label)).append(": {\"ns\": ").append(num(stat.median()))
                            .append(", \"p25\": ").append(num(stat.p25())).append(", \"p75\": ").append(num(stat.p75()))
                            .append(", \"samples\": ").append(stat.count())
                            .append(", \"floor_ns\": ").append(num(floor(label, row)))
                            .append(", \"ratio_to_floor\": ").append(num(stat.median() / floor(label, row)))
                            .append(", \"alone_ns\": ").append(alone == null ? "null" : num(alone.median()))
                            .append(", \"ratio_to_java\": ").append(num(javaRatio(label, row)))
                            .append(", \"java\": {");
                    String javaSeparator = "";
                    for (String java : row.java()) {
                        json.append(javaSeparator).append(quote(java)).append(": ").append(num(ns(label, java)));
                        javaSeparator = ", ";
                    }
                    json.append("}}");
                    inner = ", ";
                }
                json.append("}}");
                separator = ",\n";
            }
            json.append("\n  ]\n}\n");
            return json.toString();
        }

        private static String fmt(double ns) {
            return Double.isNaN(ns) ? "" : ns >= 100 ? String.format(Locale.ROOT, "%.0f", ns)
                    : String.format(Locale.ROOT, "%.1f", ns);
        }

        private static String ratio(double value) {
            return Double.isNaN(value) ? "" : String.format(Locale.ROOT, "%.2f", value);
        }

        private static String num(double value) {
            return Double.isNaN(value) ? "null" : String.format(Locale.ROOT, "%.4g", value);
        }

        private static String quote(String text) {
            return '"' + text.replace("\\", "\\\\").replace("\"", "\\\"") + '"';
        }
    }
}
