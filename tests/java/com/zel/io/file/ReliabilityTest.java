package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.lang.reflect.Method;
import java.nio.file.*;
import java.util.*;
import java.util.concurrent.*;
import java.util.concurrent.atomic.AtomicLong;
import java.util.stream.*;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** A race in this JVM; load, hostile input and a long run by the driver (Drive, below) in child JVMs. */
class ReliabilityTest {
    private static final Map<String, String> LOGS = Map.of("__JNI_NATIVEFILE_DEBUG", "", "__JNI_NATIVEFILE_ENTRYEXIT", "");
    @TempDir Path dir;

    /**
     * A path flips between a file and a link to a target by atomic renames while four threads run every changing
     * method on it: with values that keep each class r-- or r-x and the owner 1 or 2, and one thread alone setting
     * ever higher groups. No call may raise, the target (0600, 0:0) never changes, the file's group never goes back.
     */
    @Test
    void aPathFlippingBetweenFileAndLinkMisleadsNoChange() throws Exception {
        assumeTrue(Kit.ROOT, "needs root to give the file away");
        Kit.sh(dir, "touch target p; chmod 600 target; chmod 444 p; chown 1:3 p", Map.of());
        Path p = dir.resolve("p"), kept = dir.resolve("kept"), target = dir.resolve("target");
        List<Method> changes = Kit.NATIVE.stream().filter(m -> m.getName().startsWith("set")).toList();  // setFileGroup first
        AtomicLong calls = new AtomicLong();
        Queue<String> wrong = new ConcurrentLinkedQueue<>();
        long deadline = System.nanoTime() + 3_000_000_000L;
        ExecutorService pool = Executors.newFixedThreadPool(4);
        List<Future<?>> workers = IntStream.range(0, 4).<Future<?>>mapToObj(k -> pool.submit(() -> {
            Random r = new Random(k);
            for (int group = 4; System.nanoTime() < deadline; group++) {
                Method m = changes.get(k == 0 ? 0 : 1 + r.nextInt(changes.size() - 1));
                int mode = r.nextInt(8) << 9 | 0444 | (r.nextBoolean() ? 0111 : 0), g = group;
                Object[] a = Stream.of(m.getParameterTypes()).map(t -> t == int.class ? (Object) (m.getName().equals("setMode") ? mode : 4 + r.nextInt(2))
                        : t == boolean.class ? r.nextBoolean() : String.valueOf(k == 0 ? g : 1 + r.nextInt(2))).toArray();
                a[0] = p.toString();
                String got = Kit.outcome(m, a);
                calls.incrementAndGet();
                if (!got.equals("ok")) wrong.add(m.getName() + " raised " + got);
            }
        })).toList();
        long flips = 0;
        for (int group = 3; System.nanoTime() < deadline; flips += 2) {
            Files.createLink(kept, p);
            Files.move(Files.createSymbolicLink(dir.resolve("l"), target.getFileName()), p, StandardCopyOption.ATOMIC_MOVE);
            Files.move(kept, p, StandardCopyOption.ATOMIC_MOVE);
            Map<String, Object> f = Files.readAttributes(p, "unix:mode,uid,gid", LinkOption.NOFOLLOW_LINKS);
            if (((int) f.get("mode") & 0666) != 0444 || !Set.of(1, 2).contains(f.get("uid")) || (int) f.get("gid") < group) wrong.add("file " + f);
            if (!Files.readAttributes(target, "unix:mode,uid,gid").equals(Map.of("mode", 0100600, "uid", 0, "gid", 0))) wrong.add("target changed");
            group = (int) f.get("gid");
        }
        for (Future<?> w : workers) w.get();
        pool.shutdown();
        System.out.printf("race: %d calls, %d flips%n", calls.get(), flips);
        assertEquals(List.of(), List.copyOf(wrong));
        assertTrue(flips > 0 && calls.get() > changes.size());
    }

    /**
     * The same flipping path under the newer changes: an extended attribute, an ACL entry, a capability set and an
     * inode flag. A change may be refused while the path is a link (NotSupported, AccessDenied), never carried
     * through it: the file gets them, and getfattr, getfacl, getcap and lsattr find the target as it was.
     */
    @Test
    void aPathFlippingBetweenFileAndLinkMisleadsNoNewerChange() throws Exception {
        assumeTrue(Kit.ROOT, "capabilities need root");
        Kit.sh(dir, "touch target p", Map.of());
        Path p = dir.resolve("p"), kept = dir.resolve("kept"), target = dir.resolve("target");
        String before = Kit.sh(dir, "getfattr -d -m - target; getfacl -c target; getcap target; lsattr -d target 2>&1", Map.of());
        List<Callable<?>> changes = List.of(
                () -> { ExtendedAttributes.set(p, "user.race", new byte[] {1}, Set.of()); return null; },
                () -> { PosixAcls.modify(p, PosixAcls.Type.ACCESS, PosixAcls.parse("u:nobody:r")); return null; },
                () -> { FileCapabilities.set(p, "cap_kill=ep"); return null; },
                () -> { InodeFlags.add(p, EnumSet.of(InodeFlag.NO_DUMP)); return null; });
        Queue<String> wrong = new ConcurrentLinkedQueue<>();
        long deadline = System.nanoTime() + 2_000_000_000L;
        ExecutorService pool = Executors.newFixedThreadPool(changes.size());
        List<Future<?>> workers = changes.stream().<Future<?>>map(c -> pool.submit(() -> {
            while (System.nanoTime() < deadline) {
                try {
                    c.call();
                } catch (com.zel.io.file.exception.NotSupportedException | com.zel.io.file.exception.AccessDeniedException e) {
                    // the path was the link when it was examined
                } catch (Exception e) {
                    if (wrong.size() < 5) wrong.add(e.toString());
                }
            }
        })).toList();
        while (System.nanoTime() < deadline) {
            Files.createLink(kept, p);
            Files.move(Files.createSymbolicLink(dir.resolve("l"), target.getFileName()), p, StandardCopyOption.ATOMIC_MOVE);
            Files.move(kept, p, StandardCopyOption.ATOMIC_MOVE);
        }
        for (Future<?> w : workers) w.get();
        pool.shutdown();
        assertEquals(List.of(), List.copyOf(wrong));
        assertEquals(before, Kit.sh(dir, "getfattr -d -m - target; getfacl -c target; getcap target; lsattr -d target 2>&1", Map.of()));
        assertTrue(Kit.sh(dir, "getfattr -n user.race p; getfacl -c p; getcap p", Map.of()).contains("user:nobody:r--"));
    }

    /** Runs the driver behind the prefix, which must find nothing wrong; its summary and output. */
    private String[] drive(List<String> prefix, Map<String, String> env, boolean keep, List<String> jvm, String... args) throws Exception {
        Kit.Result r = Kit.run(Stream.concat(prefix.stream(), Kit.java(jvm, Drive.class.getName(), args).stream()).toList(), env, keep);
        String summary = Files.exists(Path.of(args[1], "summary")) ? Files.readString(Path.of(args[1], "summary")) : "no summary";
        assertEquals(0, r.status(), summary + r.out().lines().limit(50).toList());
        return new String[] {summary, r.out()};
    }

    /** Tmpfs mounts come and go, user and group lookups need large buffers; every line must be a whole log line of this run from a driver thread. */
    @Test
    void stressOnSixteenThreadsWithTheLogsOn() throws Exception {
        assumeTrue(Kit.ROOT, "needs root for a mount namespace");
        Kit.sh(dir, "chmod 755 .; touch target; chmod 600 target; mkdir mnt mnt/0 mnt/1 mnt/2 mnt/3", Map.of());
        String churn = "cd '" + dir + "'\n" + Kit.userFiles(dir) + "main=$$; (i=0; while kill -0 $main && [ $i -lt 5000 ]; do for n in 0 1 2 3; do"
                + " mount -t tmpfs -o size=1m x mnt/$n; done; sleep 0.01; for n in 0 1 2 3; do umount mnt/$n; done; i=$((i+1)); done) </dev/null >/dev/null 2>&1 &";
        long start = System.currentTimeMillis() / 1000;
        String[] run = drive(Kit.inNamespace(churn), LOGS, true, List.of(), "stress", dir.toString(), "4");
        String tids = String.join("|", run[0].lines().filter(l -> l.startsWith("tid ")).map(l -> String.format("%08X", Long.parseLong(l.substring(4)))).toList());
        String line = "Time: \\[0x([0-9a-f]+)\\], Thread ID: \\[0x(" + tids + ")\\]: .*";
        assertEquals(List.of(), run[1].lines().filter(l -> !l.matches(line) || Long.parseLong(l.replaceAll(line, "$1"), 16) < start).limit(5).toList());
        assertTrue(run[1].lines().allMatch(l -> Long.parseLong(l.replaceAll(line, "$1"), 16) <= System.currentTimeMillis() / 1000));
        System.out.println(run[0].lines().filter(l -> l.startsWith("calls")).mapToLong(l -> Long.parseLong(l.split(" ")[2])).sum() + " stress calls");
        for (Method m : Kit.NATIVE) assertTrue(run[0].contains("calls " + m.getName() + " "), m.getName() + " never called");
        assertEquals("600 0 0\n", Kit.sh(dir, "stat -c '%a %u %g' target", Map.of()));
    }

    @Test
    void hostileInputAsNobodyWithTheLogsOnLeavesTheSentinelAlone() throws Exception {
        assumeTrue(Kit.ROOT, "needs root to run as nobody");
        String state = "stat -c '%a %u %g %i %s %n' sentinel sentinel/file; ls -a sentinel", deep[] = Drive.deep(dir);
        String before = Kit.sh(dir, "mkdir sentinel; echo data > sentinel/file; touch own; mkfifo fifo; mkdir -p \"${L%/*}\"; ln -s \"$T\" \"$L\";"
                + " chown -hR 65534:65534 .; chmod 755 .; " + state, Map.of("L", deep[0], "T", deep[1]));
        String[] run = drive(Kit.AS_NOBODY, LOGS, true, List.of(), "hostile", dir.toString());
        assertEquals(before + deep[0] + "\n", Kit.sh(dir, state + "; readlink new", Map.of()));
        assertTrue(run[1].contains("STATing file: [" + dir + "/%n%s%x%p%.99999999f]\n"), "printf directives not printed as they are");
    }

    /** A million calls, then 200,000 with both logs: resident memory may not grow by 16 MiB, 16 bytes a call. */
    @Test
    void soakLeavesResidentMemoryFlatAndWithoutLogsOutputEmpty() throws Exception {
        assumeTrue(System.getenv("NATIVEFILE_SANITIZER_RUNTIME") == null, "the sanitizer's own memory swamps the figure");
        for (var env : List.of(Map.<String, String>of(), LOGS)) {
            String[] run = drive(List.of(), env, env.isEmpty(), List.of("-Xms64m", "-Xmx64m", "-XX:+AlwaysPreTouch", "-XX:+UseSerialGC"),
                    "soak", Files.createTempDirectory(dir, "soak").toString(), env.isEmpty() ? "1000000" : "200000");
            System.out.println("soak " + env.keySet() + ": " + run[0].lines().filter(l -> !l.startsWith("calls")).toList());
            long[] kib = run[0].lines().filter(l -> l.startsWith("rss-")).mapToLong(l -> Long.parseLong(l.split(" ")[1])).toArray();
            assertTrue(kib[1] - kib[0] < 16 << 10 && run[1].isEmpty(), run[0] + run[1]);
        }
    }

    /**
     * The driver, in a child JVM: "stress DIR SECONDS" (sixteen threads, every result checked), "hostile DIR", "soak DIR
     * CALLS". It writes DIR/summary ("calls method n", figures, its threads' kernel ids, "FAIL ..." for each wrong result).
     */
    static final class Drive {
        private static final int[] INTS = {Integer.MIN_VALUE, -9, -1, 0, 3, 5, 6, 7, 8, 04755, 01777, 0177777, Integer.MAX_VALUE};
        private static final List<String> WHO = List.of("root", "daemon", "tester", "123", "0", "4100", "j\u00fcrgen", "crowd", "no-such", "99999999999");
        private static final List<String> TEXTS = List.of("f", "\u00fcn\u00efc\u00f8d\u00e9\u2192f", "\uD83D\uDE00", "with space", "x".repeat(4000));
        private final Path dir;
        private final Map<String, Integer> uids = ids("/etc/passwd"), gids = ids("/etc/group");
        private final List<String> mounts, summary = Collections.synchronizedList(new ArrayList<>(List.of("tid " + Files.readSymbolicLink(Path.of("/proc/thread-self")).getFileName())));
        private final Queue<String> failures = new ConcurrentLinkedQueue<>();
        private final Map<String, AtomicLong> calls = new ConcurrentSkipListMap<>();

        private record State(boolean exists, boolean link, int mode, int uid, int gid, String text) {}

        private Drive(Path dir) throws Exception {
            this.dir = dir;
            mounts = stable(Kit.outcome(Kit.NATIVE.stream().filter(m -> m.getParameterCount() == 0).findFirst().orElseThrow()));
        }

        public static void main(String[] a) throws Exception {
            Drive d = new Drive(Path.of(a[1]));
            if (a[0].equals("hostile")) d.hostile(); else if (a[0].equals("stress")) d.stress(Long.parseLong(a[2])); else d.soak(Long.parseLong(a[2]));
            d.calls.forEach((k, v) -> d.summary.add("calls " + k + " " + v));
            d.failures.stream().limit(20).forEach(f -> d.summary.add("FAIL " + f));
            Files.write(d.dir.resolve("summary"), d.summary);
            System.exit(d.failures.isEmpty() ? 0 : 1);
        }

        private static Map<String, Integer> ids(String file) throws Exception {
            return Files.readAllLines(Path.of(file)).stream().map(l -> l.split(":")).filter(f -> f.length > 2 && f[2].matches("\\d+"))
                    .collect(Collectors.toMap(f -> f[0], f -> Integer.parseInt(f[2]), (x, y) -> x, LinkedHashMap::new));
        }

        private static int id(Object who, Map<String, Integer> ids) {
            return who instanceof String w && w.matches("\\d{1,10}") && Long.parseLong(w) <= Integer.MAX_VALUE ? Integer.parseInt(w) : ids.getOrDefault(who, -1);
        }

        private static String name(Map<String, Integer> ids, int id) {
            return ids.entrySet().stream().filter(e -> e.getValue() == id).map(Map.Entry::getKey).findFirst().orElse("" + id);
        }

        /** The mount list less the mounts that come and go below DIR/mnt. */
        private List<String> stable(String list) {
            return Arrays.stream(list.split("\n")).filter(p -> !p.startsWith(dir + "/mnt/")).toList();
        }

        private static State state(Path p) {
            try {
                Map<String, Object> a = Files.readAttributes(p, "unix:mode,uid,gid", LinkOption.NOFOLLOW_LINKS);
                boolean link = Files.isSymbolicLink(p);
                return new State(true, link, (int) a.get("mode") & 07777, (int) a.get("uid"), (int) a.get("gid"), link ? Files.readSymbolicLink(p).toString() : null);
            } catch (Exception absent) {
                return new State(false, false, 0, 0, 0, null);
            }
        }

        /** What a call on a path that no other thread changes gives, and the state it leaves. */
        private Object[] expect(String name, Object[] a, State s, Path p) throws Exception {
            int m = s.mode, v = a.length > 1 && a[1] instanceof Integer i ? i & 7 : 0;
            int bit = name.endsWith("UIDBit") ? 04000 : name.endsWith("GIDBit") ? 02000 : 01000;
            int uid = name.equals("setFileOwner") ? id(a[1], uids) : -1, gid = name.equals("setFileGroup") ? id(a[1], gids) : -1;
            String want = switch (name) {
                case "getUserPermissions" -> "" + (m >> 6 & 7);
                case "getGroupPermissions" -> "" + (m >> 3 & 7);
                case "getWorldPermissions" -> "" + (m & 7);
                case "isSetUIDBit", "isSetGIDBit", "isSetStickyBit" -> "" + ((m & bit) != 0);
                case "getMode" -> "" + m;
                case "getFileOwner" -> name(uids, s.uid);
                case "getFileGroup" -> name(gids, s.gid);
                case "isSymLink" -> "" + s.link;
                case "getSymLinkValue" -> s.link ? s.text : "ExtendedIOException 22 System error occured.";
                case "setFileOwner" -> uid >= 0 ? "ok" : "InvalidUserException 0 " + (((String) a[1]).matches("\\d+")
                        ? "Problems retrieving UID information.  The string was an invalid UID, and it couldn't be mapped to a username either."
                        : "The username passed down does not appear to exist on the system.  Cannot re-assign.");
                case "setFileGroup" -> gid >= 0 ? "ok" : "InvalidGroupException 0 Problems retrieving GID information.  The string was an invalid GID, and it couldn't be mapped to a groupname, either.";
                case "symlinkDelete" -> s.exists ? "ok" : "FileNotFoundException 2 Symlink does not exist on system or the symlink name was too long.";
                case "getFileSystemSize" -> "" + Files.getFileStore(p).getTotalSpace();
                default -> "ok";
            };
            m = s.link ? m : switch (name) {
                case "setUserPermissions" -> m & ~0700 | v << 6;
                case "setGroupPermissions" -> m & ~070 | v << 3;
                case "setWorldPermissions" -> m & ~07 | v;
                case "setPermissions" -> m & ~0777 | v << 6 | ((int) a[2] & 7) << 3 | (int) a[3] & 7;
                case "setUIDBit", "setGIDBit", "setStickyBit" -> (boolean) a[1] ? m | bit : m & ~bit;
                case "setMode" -> (int) a[1] & 07777;
                default -> m;
            };
            State after = name.equals("symlinkDelete") ? state(p.resolve("gone")) : name.equals("createSymLink") && !s.exists
                    ? new State(true, true, 0777, 0, 0, (String) a[1]) : new State(s.exists, s.link, m, uid >= 0 ? uid : s.uid, gid >= 0 ? gid : s.gid, s.text);
            return new Object[] {Kit.expand(want), after};
        }

        /** Random calls on own and shared paths, up to the deadline or the count, each result checked if asked. */
        private void calls(int k, long deadline, long count, boolean check) throws Exception {
            Random r = new Random(k);
            Path own = Files.createDirectories(dir.resolve("t" + k));
            Path[] paths = {Files.createFile(own.resolve("f")), Files.createSymbolicLink(own.resolve("l"), Path.of("f")), dir.resolve("shared")};
            for (long n = 0; n < count && System.nanoTime() < deadline; n++) {
                Method m = Kit.NATIVE.get(r.nextInt(Kit.NATIVE.size()));
                String name = m.getName();
                Path p = name.matches("createSymLink|symlinkDelete") ? own.resolve("n") : paths[r.nextInt(check ? 3 : 2)];
                Object[] a = Stream.of(m.getParameterTypes()).map(t -> t == int.class ? (Object) INTS[r.nextInt(INTS.length)] : t == boolean.class ? r.nextBoolean()
                        : name.equals("createSymLink") ? TEXTS.get(r.nextInt(TEXTS.size())) : WHO.get(r.nextInt(WHO.size()))).toArray();
                if (a.length > 0) a[0] = p.toString();
                State before = check ? state(p) : null;
                String got = Kit.outcome(m, a);
                calls.computeIfAbsent(name, x -> new AtomicLong()).incrementAndGet();
                if (!check) continue;
                Object[] want = expect(name, a, before, p);
                State after = state(p), model = (State) want[1];
                boolean ok = switch (name) {
                    case "getMountedFileSystems" -> stable(got).equals(mounts);
                    case "getFreeSpace" -> Math.abs(Long.parseLong(got) - Files.getFileStore(p).getUnallocatedSpace()) < 64 << 20;
                    // A change of owner or group may clear the set-user-ID and set-group-ID bits of a file.
                    default -> p.startsWith(own) ? want[0].equals(got) && (after.equals(model) || name.startsWith("setFile") && after.uid == model.uid
                                    && after.gid == model.gid && (after.mode | 06000) == (model.mode | 06000))
                            : name.startsWith("getFile") || want[0].equals(got);
                };
                if (!ok) failures.add(name + Arrays.toString(a) + " gave " + got + " not " + want[0] + "; " + before + " -> " + after);
            }
        }

        private void stress(long seconds) throws Exception {
            Files.createSymbolicLink(dir.resolve("shared"), Path.of("target"));
            long deadline = System.nanoTime() + seconds * 1_000_000_000L;
            ExecutorService pool = Executors.newFixedThreadPool(16);
            for (Future<?> f : pool.invokeAll(IntStream.range(0, 16).mapToObj(k -> (Callable<Object>) () -> {
                summary.add("tid " + Files.readSymbolicLink(Path.of("/proc/thread-self")).getFileName());
                calls(k, deadline, Long.MAX_VALUE, true);
                return null;
            }).toList(), seconds + 60, TimeUnit.SECONDS)) f.get();
            pool.shutdown();
        }

        /** A link of 4,095 bytes in dir whose text of 4,095 bytes names dir/own. */
        static String[] deep(Path dir) {
            String top = dir + ("/" + "d".repeat(240)).repeat((4093 - dir.toString().length() - 11) / 241) + "/";
            return new String[] {top + "l".repeat(4093 - top.length()) + "\u00E9", "/".repeat(4095 - dir.toString().length() - 4) + dir + "/own"};
        }

        /** Texts no caller should send in every string argument of every method; triples over the int range; the longest texts. */
        private void hostile() throws Exception {
            Path own = dir.resolve("own");
            String sentinel = dir.resolve("sentinel").toString(), big = "x".repeat(1 << 20), deep = deep(dir)[0];
            // Cut at the NUL or at PATH_MAX, these would name the sentinel.
            List<String> invalid = List.of("\u0000", sentinel + "/file\u0000x", sentinel + "\uD800", "\uDBFF", "\uDC7F" + sentinel, big + "\u0000", "\uDFFF" + big);
            List<String> tooLong = List.of(sentinel + "/".repeat(1 << 20), "\u20AC".repeat(1 << 20), "\uD83D\uDE00".repeat(1 << 19), deep + "x");
            List<String> odd = List.of(dir + "/%n%s%x%p%.99999999f", dir + "/\u0001\u001b[2J\n\t\u007f", "/proc/self/mem", "/proc/1/root/etc",
                    "/proc/kcore", "/dev/null", "/dev/zero", "/dev/full", dir + "/fifo", "", "/");
            List<String> texts = Stream.of(Arrays.asList(null, deep), invalid, tooLong, odd).flatMap(List::stream).toList();
            for (Method m : Kit.NATIVE) {
                Class<?>[] t = m.getParameterTypes();
                boolean link = m.getName().equals("createSymLink");
                Object[] a = IntStream.range(0, t.length).mapToObj(i -> t[i] == int.class ? (Object) 6 : t[i] == boolean.class ? false
                        : i == 0 ? (link ? dir + "/new" : own.toString()) : link ? "own" : "65534").toArray();
                for (int i = 0; i < t.length; i++) {
                    for (String text : t[i] == String.class ? texts : List.<String>of()) {
                        Object[] h = a.clone();
                        h[i] = text;
                        String want = text == null ? "ExtendedIOException: [ERRNO: 000]" : odd.contains(text) ? ""
                                : i == 1 && !link ? m.getName().replace("setFile", "Invalid").replace("Owner", "User") + "Exception: [ERRNO: 000]"
                                : invalid.contains(text) ? "ExtendedIOException: [ERRNO: 022]" : text.equals(deep) ? "" : "FileNotFoundException: [ERRNO: 036]";
                        String got = Kit.outcome(m, h);
                        if (!got.startsWith(want) || want.isEmpty() && text.equals(deep) && (got.contains("Exception") || m.getName().equals("getSymLinkValue") && !got.equals(deep(dir)[1])))
                            failures.add(m.getName() + " #" + i + " " + Kit.escape(String.format("%.40s", text)) + " gave " + got);
                    }
                }
                for (long v = Integer.MIN_VALUE; List.of(t).contains(int.class) && v <= Integer.MAX_VALUE; v += 0x0F0F0F0FL) {
                    for (int i = 1; i < t.length; i++) a[i] = t[i] == int.class ? (int) v : a[i];
                    State before = state(own);
                    String got = Kit.outcome(m, a);
                    if (!got.equals("ok") || !state(own).equals(expect(m.getName(), a, before, own)[1])) failures.add(m.getName() + " " + v + ": " + state(own));
                }
            }
        }

        /** Calls after a warm-up; the resident memory, after full collections, before and after. */
        private void soak(long count) throws Exception {
            calls(1, Long.MAX_VALUE, count / 10, false);
            long before = resident(), start = System.nanoTime();
            calls(0, Long.MAX_VALUE, count, false);
            summary.add(String.format("seconds %.1f%nrss-before-kib %d%nrss-after-kib %d", (System.nanoTime() - start) / 1e9, before, resident()));
        }

        private static long resident() throws Exception {
            for (int i = 0; i < 3; i++, Thread.sleep(50)) System.gc();
            return Files.readAllLines(Path.of("/proc/self/status")).stream().filter(l -> l.startsWith("VmRSS:")).mapToLong(l -> Long.parseLong(l.replaceAll("\\D", ""))).sum();
        }
    }
}
