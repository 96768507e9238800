package com.zel.io.file.bench;

import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicLong;

/**
 * One forked JVM of the benchmark. Prints one line per measurement for the driver:
 *
 * <pre>
 *   encoding NAME          the JVM's native encoding, proof of the locale it runs in
 *   ns VALUE CASE          one round's nanoseconds per call
 *   scale VALUE CASE       one round's throughput of 2 threads over that of 1
 *   cpu VALUE CASE         the same round's calls per CPU second of 2 threads over that of 1
 * </pre>
 *
 * Usage: {@code Runner calls|scaling DIR WARMUP_MS ROUNDS ROUND_MS [CASE;CASE...]}, the cases
 * for scaling only (by default the control, every query and the mount table's C floor)
 */
public final class Runner {
    private static long sink;
    private static final AtomicLong checksum = new AtomicLong();

    private Runner() {}

    public static void main(String[] args) throws Exception {
        String mode = args[0];
        Map<String, Cases.Op> ops = Cases.ops(Path.of(args[1]));
        long warmupNs = Long.parseLong(args[2]) * 1_000_000;
        int rounds = Integer.parseInt(args[3]);
        long roundNs = Long.parseLong(args[4]) * 1_000_000;
        System.out.println("encoding " + System.getProperty("sun.jnu.encoding"));
        if (mode.equals("calls")) {
            calls(ops, warmupNs, rounds, roundNs);
        } else {
            List<String> names = new ArrayList<>(List.of(Cases.BARE, Cases.MOUNT_FLOOR));
            names.addAll(Cases.queries());
            scaling(ops, args.length > 5 ? List.of(args[5].split(";")) : names, warmupNs, rounds, roundNs);
        }
        System.out.println("sink " + (sink + checksum.get()));
    }

    // Rounds go through every case, in a new order each round, so that
    // neither a slow spell of the machine nor what a case leaves behind (a
    // directory just changed, caches filled) falls on one case.
    private static void calls(Map<String, Cases.Op> ops, long warmupNs, int rounds, long roundNs)
            throws Exception {
        List<String> names = new ArrayList<>(ops.keySet());
        long[] batch = new long[names.size()];
        for (int i = 0; i < names.size(); i++) batch[i] = warmUp(ops.get(names.get(i)), warmupNs, roundNs);
        List<Integer> order = new ArrayList<>();
        for (int i = 0; i < names.size(); i++) order.add(i);
        Random random = new Random(rounds);
        for (int round = 0; round < rounds; round++) {
            Collections.shuffle(order, random);
            for (int i : order) {
                long elapsed = time(ops.get(names.get(i)), batch[i]);
                System.out.println("ns " + (double) elapsed / batch[i] + " " + names.get(i));
            }
        }
    }

    // Runs op for warmupNs, so that the JIT has compiled it and what the
    // first calls set up (a class, the library, a thread's converters) is
    // done; returns the calls that take a round once warm. Batches double
    // until one takes a tenth of a round.
    private static long warmUp(Cases.Op op, long warmupNs, long roundNs) throws Exception {
        long n = 1;
        long elapsed = 0;
        for (long end = System.nanoTime() + warmupNs; System.nanoTime() < end || elapsed < roundNs / 10; ) {
            elapsed = time(op, n);
            if (elapsed < roundNs / 10 && n < (1L << 30)) n *= 2;
        }
        return Math.max(1, (long) ((double) n * roundNs / Math.max(time(op, n), 1)));
    }

    private static long time(Cases.Op op, long n) throws Exception {
        long s = 0;
        long start = System.nanoTime();
        for (long i = 0; i < n; i++) s += op.call();
        long elapsed = System.nanoTime() - start;
        sink += s;
        return elapsed;
    }

    // Each round measures every case on 1 thread and on 2, next to each
    // other, so that the machine's spells fall alike on the library and on
    // its floors; the order of 1 and 2 alternates between rounds. The bare
    // call is the control: it scales unless the machine has no second core
    // free for this JVM. Beside the throughput, the calls per second of the
    // threads' own CPU time: on a loaded machine the throughput shows the
    // cores the machine gave, while this shows what the calls cost each other
    // (contended memory, spinning) when they do run at once.
    private static void scaling(Map<String, Cases.Op> ops, List<String> names, long warmupNs, int rounds,
            long roundNs) throws Exception {
        for (String name : names) throughput(ops.get(name), 2, warmupNs / names.size());
        for (int round = 0; round < rounds; round++) {
            for (String name : names) {
                Cases.Op op = ops.get(name);
                double[] one;
                double[] two;
                if (round % 2 == 0) {
                    one = throughput(op, 1, roundNs);
                    two = throughput(op, 2, roundNs);
                } else {
                    two = throughput(op, 2, roundNs);
                    one = throughput(op, 1, roundNs);
                }
                System.out.println("scale " + two[0] / one[0] + " " + name);
                System.out.println("cpu " + two[1] / one[1] + " " + name);
            }
        }
    }

    /**
     * Calls per second of all threads together, each calling op without pause for about durationNs,
     * and calls per second of the threads' CPU time.
     */
    private static double[] throughput(Cases.Op op, int threads, long durationNs) throws Exception {
        AtomicLong total = new AtomicLong();
        AtomicLong cpuNs = new AtomicLong();
        AtomicBoolean stop = new AtomicBoolean();
        CountDownLatch ready = new CountDownLatch(threads);
        CountDownLatch go = new CountDownLatch(1);
        List<Thread> workers = new ArrayList<>();
        Exception[] failure = new Exception[1];
        ThreadMXBean cpu = ManagementFactory.getThreadMXBean();
        for (int t = 0; t < threads; t++) {
            Thread worker = new Thread(() -> {
                long count = 0;
                long s = 0;
                try {
                    ready.countDown();
                    go.await();
                    long cpuStart = cpu.getCurrentThreadCpuTime();
                    while (!stop.get()) {
                        for (int i = 0; i < 64; i++) s += op.call();
                        count += 64;
                    }
                    cpuNs.addAndGet(cpu.getCurrentThreadCpuTime() - cpuStart);
                } catch (Exception e) {
                    failure[0] = e;
                }
                total.addAndGet(count);
                checksum.addAndGet(s);
            });
            workers.add(worker);
            worker.start();
        }
        ready.await();
        long start = System.nanoTime();
        go.countDown();
        Thread.sleep(durationNs / 1_000_000, (int) (durationNs % 1_000_000));
        stop.set(true);
        for (Thread worker : workers) worker.join();
        long elapsed = System.nanoTime() - start;
        if (failure[0] != null) throw failure[0];
        return new double[] {total.get() * 1e9 / elapsed, total.get() * 1e9 / Math.max(cpuNs.get(), 1)};
    }
}
