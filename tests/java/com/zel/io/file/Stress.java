package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import com.zel.io.file.exception.InvalidGroupException;
import com.zel.io.file.exception.InvalidUserException;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileStore;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.EnumSet;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.Set;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicLong;
import java.util.function.Function;
import java.util.function.IntFunction;
import java.util.function.IntUnaryOperator;

/**
 * Entry point of the stress child JVM. Threads call the native methods for a bounded time, each on
 * files of its own, whose state it knows, and on shared files that all threads change at once, and
 * check every result: against java.nio and what the thread itself set on its own files, against
 * the set of values that any thread could have produced on shared ones, against the user and
 * group files for names, and against the mount table as the process saw it at the start.
 *
 * <p>Arguments: the mode ("mixed": every native method; "lookups": only the owner and group
 * methods, by name), the number of threads, the seconds to run, and a directory to work in. Mount
 * points named {@code <directory>/mnt/<n>} may come and go meanwhile, as 1 MiB tmpfs.
 *
 * <p>Standard output is left to the library's log. The summary goes to standard error: one line
 * "calls method count" per method, then "failures count" and one "FAIL" line for each of the
 * first failures. The exit status is 0 when nothing failed, 1 when a check failed and 3 when a
 * thread did not end in time (its stack is printed).
 */
public final class Stress {
    private static final LinkOption NOFOLLOW = LinkOption.NOFOLLOW_LINKS;
    private static final long CHURN_MOUNT_SIZE = 1 << 20;
    private static final long SPACE_SLACK = 8 << 20;
    private static final int MAX_REPORTED = 50;
    private static final String SHARED_LINK_TEXT = "target";
    private static final List<String> LINK_TEXTS =
            List.of("file", "./file", "d/../file", "ünïcødé→file", "\uD83D\uDE00", "with space", "missing");
    private static final Set<Object> TRIPLE_VALUES = Set.of(0, 1, 2, 3, 4, 5, 6, 7);
    private static final Set<Object> BITS = Set.of(true, false);
    private static final List<String> CHURN_TEXTS = List.of("file", "target", "gone", "目标");
    private static final int[] TRIPLES = {
        Integer.MIN_VALUE, Integer.MIN_VALUE + 1, -9, -8, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16,
        0x7ff3, Integer.MAX_VALUE - 1, Integer.MAX_VALUE
    };

    /** The native methods, in the order of the class's declarations. */
    enum Method {
        getUserPermissions, getGroupPermissions, getWorldPermissions,
        setUserPermissions, setGroupPermissions, setWorldPermissions, setPermissions,
        isSetGIDBit, isSetUIDBit, isSetStickyBit, setGIDBit, setUIDBit, setStickyBit,
        getFileOwner, getFileGroup, setFileOwner, setFileGroup,
        isSymLink, getSymLinkValue, createSymLink, symlinkDelete,
        getMountedFileSystems, getFreeSpace, getFileSystemSize
    }

    private static final Set<Method> LOOKUPS =
            EnumSet.of(Method.getFileOwner, Method.getFileGroup, Method.setFileOwner, Method.setFileGroup);

    @FunctionalInterface
    interface NativeCall {
        Object call() throws ExtendedIOException;
    }

    @FunctionalInterface
    interface VoidCall {
        void call() throws ExtendedIOException;
    }

    /** What one call gave: a value (null for void methods) or the exception it raised. */
    record Outcome(Object value, ExtendedIOException error) {
        boolean ok() {
            return error == null;
        }

        boolean notFound() {
            return error instanceof FileNotFoundException && error.getErrno() == 2;
        }

        boolean isSystemError(int errno) {
            return error != null && error.getClass() == ExtendedIOException.class && error.getErrno() == errno;
        }

        @Override
        public String toString() {
            return error != null ? error.getClass().getSimpleName() + " " + error.getMessage()
                    : value instanceof String[] a ? Arrays.toString(a) : String.valueOf(value);
        }
    }

    /** One side of the user and group database: names to ids, ids to the first name listed. */
    record Database(Map<String, Integer> ids, Map<Integer, String> names) {
        static Database read(Path file) throws IOException {
            Map<String, Integer> ids = new HashMap<>();
            Map<Integer, String> names = new HashMap<>();
            for (String line : Files.readAllLines(file, StandardCharsets.UTF_8)) {
                String[] fields = line.split(":", -1);
                if (fields.length < 3 || line.startsWith("#") || !fields[2].matches("\\d+")) {
                    continue;
                }
                int id = Integer.parseInt(fields[2]);
                ids.putIfAbsent(fields[0], id);
                names.putIfAbsent(id, fields[0]);
            }
            return new Database(ids, names);
        }

        String nameOf(int id) {
            return names.getOrDefault(id, Integer.toString(id));
        }
    }

    /**
     * Strings a thread may give setFileOwner or setFileGroup: names and digit strings with the id
     * each must yield, and strings that must be refused.
     */
    record Candidates(Map<String, Integer> valid, List<String> validList, List<String> invalid, Set<String> names) {
        static Candidates of(Database db, boolean root, int ownId) {
            Map<String, Integer> valid = new HashMap<>();
            if (root) {
                db.ids().forEach(valid::put);
                for (int id : new int[] {0, 65534, 4242, 1}) {
                    valid.put(Integer.toString(id), id);
                }
            } else {
                valid.put(Integer.toString(ownId), ownId);
                if (db.names().containsKey(ownId)) {
                    valid.put(db.names().get(ownId), ownId);
                }
            }
            Set<String> names = new HashSet<>();
            valid.values().forEach(id -> names.add(db.nameOf(id)));
            List<String> validList = new ArrayList<>(valid.keySet());
            Collections.sort(validList);
            return new Candidates(valid, validList, List.of("no-such-name-zz", "99999999999"), names);
        }
    }

    private final Path base;
    private final Path shared;
    private final Path sharedFile;
    private final Path sharedLink;
    private final Path sentinel;
    private final Path churn;
    private final Path flip;
    private final List<Path> mountDirs = new ArrayList<>();
    private final boolean root;
    private final Database users;
    private final Database groups;
    private final Candidates userCandidates;
    private final Candidates groupCandidates;
    private final List<String> stableMounts;
    private final Set<String> stableMountSet;
    private final String churnPrefix;
    private final long baseSize;
    private final Set<Method> methods;
    private final long deadline;
    private final ConcurrentLinkedQueue<String> failures = new ConcurrentLinkedQueue<>();
    private final AtomicLong failureCount = new AtomicLong();
    private final long[] calls = new long[Method.values().length];

    private Stress(String mode, Path base, double seconds) throws IOException {
        this.base = base;
        // The process's own ids, from the kernel: Java's own lookup reports 0 for both when the
        // user's entry does not fit its buffer.
        Path self = Path.of("/proc/self").toRealPath();
        int uid = attribute(self, "uid");
        root = uid == 0;
        users = Database.read(Path.of("/etc/passwd"));
        groups = Database.read(Path.of("/etc/group"));
        userCandidates = Candidates.of(users, root, uid);
        groupCandidates = Candidates.of(groups, root, attribute(self, "gid"));
        methods = mode.equals("lookups") ? LOOKUPS : EnumSet.allOf(Method.class);

        Path mnt = base.resolve("mnt");
        churnPrefix = mnt + "/";
        if (Files.isDirectory(mnt)) {
            try (var dirs = Files.list(mnt)) {
                dirs.sorted().forEach(mountDirs::add);
            }
        }
        stableMounts = new ArrayList<>();
        for (String line : Files.readAllLines(Path.of("/proc/self/mounts"), StandardCharsets.UTF_8)) {
            String point = Child.unescapeMountPoint(line.split(" ")[1]);
            if (!point.startsWith(churnPrefix)) {
                stableMounts.add(point);
            }
        }
        stableMountSet = new HashSet<>(stableMounts);

        shared = Files.createDirectories(base.resolve("work-" + ProcessHandle.current().pid()).resolve("shared"));
        sharedFile = Files.createFile(shared.resolve("file"));
        sentinel = Files.writeString(shared.resolve(SHARED_LINK_TEXT), "sentinel");
        Files.setPosixFilePermissions(sentinel, PosixFilePermissions.fromString("rw-r-----"));
        sharedLink = Files.createSymbolicLink(shared.resolve("link"), Path.of(SHARED_LINK_TEXT));
        churn = shared.resolve("churn");
        flip = shared.resolve("flip");
        baseSize = Files.getFileStore(sharedFile).getTotalSpace();
        deadline = System.nanoTime() + (long) (seconds * 1e9);
    }

    public static void main(String[] args) throws Exception {
        Stress stress = new Stress(args[0], Path.of(args[3]), Double.parseDouble(args[2]));
        List<Worker> workers = new ArrayList<>();
        List<Thread> threads = new ArrayList<>();
        for (int i = 0; i < Integer.parseInt(args[1]); i++) {
            Worker worker = stress.new Worker(i);
            workers.add(worker);
            threads.add(new Thread(worker, "stress-" + i));
        }
        Map<String, Object> sentinelBefore = attributes(stress.sentinel);
        threads.forEach(Thread::start);
        long joinBy = stress.deadline + TimeUnit.SECONDS.toNanos(60);
        for (Thread thread : threads) {
            thread.join(Math.max(1, TimeUnit.NANOSECONDS.toMillis(joinBy - System.nanoTime())));
            if (thread.isAlive()) {
                System.err.println("HUNG " + thread.getName());
                Thread.getAllStackTraces().forEach((t, stack) -> {
                    System.err.println(t);
                    for (StackTraceElement frame : stack) {
                        System.err.println("    at " + frame);
                    }
                });
                System.err.flush();
                Runtime.getRuntime().halt(3);
            }
        }
        stress.finalChecks(sentinelBefore);
        for (Worker worker : workers) {
            for (int i = 0; i < worker.calls.length; i++) {
                stress.calls[i] += worker.calls[i];
            }
        }
        for (Method m : Method.values()) {
            System.err.println("calls " + m + " " + stress.calls[m.ordinal()]);
        }
        System.err.println("failures " + stress.failureCount.get());
        stress.failures.forEach(f -> System.err.println("FAIL " + f));
        System.err.flush();
        System.exit(stress.failureCount.get() == 0 ? 0 : 1);
    }

    private static Map<String, Object> attributes(Path path) throws IOException {
        Map<String, Object> attributes = new HashMap<>(Files.readAttributes(path, "unix:mode,uid,gid,size,ino", NOFOLLOW));
        attributes.put("content", Files.readString(path));
        return attributes;
    }

    /** What no thread may have changed: the link's target, the link itself, the shared file's type. */
    private void finalChecks(Map<String, Object> sentinelBefore) throws IOException {
        Map<String, Object> sentinelAfter = attributes(sentinel);
        if (!sentinelAfter.equals(sentinelBefore)) {
            fail("final", "the shared link's target changed: " + sentinelBefore + " -> " + sentinelAfter);
        }
        if (!Files.isSymbolicLink(sharedLink) || !Files.readSymbolicLink(sharedLink).toString().equals(SHARED_LINK_TEXT)) {
            fail("final", "the shared link changed");
        }
        if (!Files.isRegularFile(sharedFile, NOFOLLOW)) {
            fail("final", "the shared file is no longer a regular file");
        }
    }

    private void fail(Object where, String what) {
        if (failureCount.incrementAndGet() <= MAX_REPORTED) {
            String text = what.length() > 400 ? what.substring(0, 400) + "..." : what;
            failures.add(Thread.currentThread().getName() + " " + where + ": " + text);
        }
    }

    private static int attribute(Path path, String name) throws IOException {
        return (Integer) Files.getAttribute(path, "unix:" + name, NOFOLLOW);
    }

    /** One thread's files, what it knows of them, and its calls. */
    final class Worker implements Runnable {
        private final long[] calls = new long[Method.values().length];
        private final Random random;
        private final Path file;
        private final Path dir;
        private final Path link;
        private final FileStore store;
        private int mode = 0644;
        private int uid;
        private int gid;
        private String linkText = "file";
        private Method current;

        Worker(int index) throws IOException {
            random = new Random(index);
            Path own = Files.createDirectories(shared.resolveSibling("own-" + index));
            file = Files.createFile(own.resolve("file"));
            Files.setPosixFilePermissions(file, PosixFilePermissions.fromString("rw-r--r--"));
            dir = Files.createDirectory(own.resolve("d"));
            Files.setPosixFilePermissions(dir, PosixFilePermissions.fromString("rwxr-xr-x"));
            link = Files.createSymbolicLink(own.resolve("link"), Path.of(linkText));
            uid = attribute(file, "uid");
            gid = attribute(file, "gid");
            store = Files.getFileStore(file);
        }

        @Override
        public void run() {
            List<Method> order = new ArrayList<>(methods);
            do {
                Collections.shuffle(order, random);
                for (Method m : order) {
                    current = m;
                    try {
                        call(m, random.nextBoolean());
                    } catch (Throwable t) {
                        fail(m, "unexpected " + t);
                    }
                }
            } while (System.nanoTime() < deadline);
        }

        private Outcome run(VoidCall call) {
            return invoke(() -> {
                call.call();
                return null;
            });
        }

        private Outcome invoke(NativeCall call) {
            calls[current.ordinal()]++;
            try {
                return new Outcome(call.call(), null);
            } catch (ExtendedIOException e) {
                return new Outcome(null, e);
            }
        }

        private void expect(boolean ok, String target, Outcome outcome) {
            if (!ok) {
                fail(current, target + " gave " + outcome);
            }
        }

        private <T> T pick(List<T> list) {
            return list.get(random.nextInt(list.size()));
        }

        private int triple() {
            return TRIPLES[random.nextInt(TRIPLES.length)];
        }

        /** The own file as java.nio sees it must be as this thread left it. */
        private void verifyFile() throws IOException {
            int seen = Child.modeOf(file);
            int seenUid = attribute(file, "uid");
            int seenGid = attribute(file, "gid");
            if (seen != mode || seenUid != uid || seenGid != gid) {
                fail(current, String.format("own file is %o %d:%d, expected %o %d:%d", seen, seenUid, seenGid, mode, uid, gid));
                mode = seen;
                uid = seenUid;
                gid = seenGid;
            }
        }

        /**
         * After an owner or group change the kernel may clear the set-user-ID and set-group-ID
         * bits of a regular file; nothing else of the mode may move, and no bit may appear.
         */
        private void verifyFileAfterChown() throws IOException {
            int seen = Child.modeOf(file);
            if ((seen & 01777) != (mode & 01777) || (seen & ~mode) != 0) {
                fail(current, String.format("own file mode %o after owner change, was %o", seen, mode));
            }
            mode = seen;
            verifyFile();
        }

        private void call(Method m, boolean onShared) throws IOException {
            switch (m) {
                case getUserPermissions -> query(onShared, byMode(b -> (b >> 6) & 7), TRIPLE_VALUES, UnixNativeFile::getUserPermissions);
                case getGroupPermissions -> query(onShared, byMode(b -> (b >> 3) & 7), TRIPLE_VALUES, UnixNativeFile::getGroupPermissions);
                case getWorldPermissions -> query(onShared, byMode(b -> b & 7), TRIPLE_VALUES, UnixNativeFile::getWorldPermissions);
                case setUserPermissions -> setTriple(onShared, 6, UnixNativeFile::setUserPermissions);
                case setGroupPermissions -> setTriple(onShared, 3, UnixNativeFile::setGroupPermissions);
                case setWorldPermissions -> setTriple(onShared, 0, UnixNativeFile::setWorldPermissions);
                case setPermissions -> {
                    int[] t = {triple(), triple(), triple()};
                    changeMode(onShared, p -> UnixNativeFile.setPermissions(p, t[0], t[1], t[2]),
                            b -> b & ~0777 | (t[0] & 7) << 6 | (t[1] & 7) << 3 | t[2] & 7);
                }
                case isSetGIDBit -> query(onShared, byMode(b -> (b & 02000) != 0), BITS, UnixNativeFile::isSetGIDBit);
                case isSetUIDBit -> query(onShared, byMode(b -> (b & 04000) != 0), BITS, UnixNativeFile::isSetUIDBit);
                case isSetStickyBit -> query(onShared, byMode(b -> (b & 01000) != 0), BITS, UnixNativeFile::isSetStickyBit);
                case setGIDBit -> setBit(onShared, 02000, UnixNativeFile::setGIDBit);
                case setUIDBit -> setBit(onShared, 04000, UnixNativeFile::setUIDBit);
                case setStickyBit -> setBit(onShared, 01000, UnixNativeFile::setStickyBit);
                case getFileOwner -> queryOwnership(onShared, users, "uid", UnixNativeFile::getFileOwner);
                case getFileGroup -> queryOwnership(onShared, groups, "gid", UnixNativeFile::getFileGroup);
                case setFileOwner -> changeOwnership(onShared, true, userCandidates, UnixNativeFile::setFileOwner);
                case setFileGroup -> changeOwnership(onShared, false, groupCandidates, UnixNativeFile::setFileGroup);
                case isSymLink -> query(onShared, t -> t == flip ? null : t == link || t == sharedLink || t == churn, BITS,
                        UnixNativeFile::isSymLink);
                case getSymLinkValue -> getSymLinkValue(onShared);
                case createSymLink -> createSymLink(onShared);
                case symlinkDelete -> symlinkDelete(onShared);
                case getMountedFileSystems -> getMountedFileSystems();
                case getFreeSpace -> getFreeSpace(onShared);
                case getFileSystemSize -> getFileSystemSize(onShared);
            }
        }

        /** A shared path: the file, the link, the link that comes and goes, the entry that flips. */
        private Path sharedTarget() {
            return pick(List.of(sharedFile, sharedLink, churn, flip));
        }

        /**
         * A query whose answer on each entry is known (null: any value in range); the churning
         * and flipping entries, and this thread's link once deleted, may be gone.
         */
        private void query(boolean onShared, Function<Path, Object> expectedOn, Set<Object> range, PathQuery<?> query) {
            Path target = onShared ? sharedTarget() : pick(List.of(file, dir, link));
            Outcome o = invoke(() -> query.apply(target.toString()));
            Object expected = expectedOn.apply(target);
            boolean ok = o.ok() && (expected == null ? range.contains(o.value()) : expected.equals(o.value()));
            if (target == link && linkText == null) {
                ok = o.notFound();
            } else if (target == churn || target == flip) {
                ok |= o.notFound();
            }
            expect(ok, target.toString(), o);
        }

        /** What a mode query gives: on this thread's file its mode's, its directory 755's, a link 777's. */
        private Function<Path, Object> byMode(IntFunction<Object> of) {
            return t -> t == file ? of.apply(mode) : t == dir ? of.apply(0755)
                    : t == link || t == sharedLink || t == churn ? of.apply(0777) : null;
        }

        /**
         * A change of the mode: on this thread's file it must land as newMode says, its link must
         * stay as it is (or be gone once deleted), shared entries may be gone.
         */
        private void changeMode(boolean onShared, PathChange change, IntUnaryOperator newMode) throws IOException {
            Path target = onShared ? sharedTarget() : random.nextInt(4) == 0 ? link : file;
            Outcome o = run(() -> change.apply(target.toString()));
            if (target == file) {
                expect(o.ok(), "own file", o);
                mode = newMode.applyAsInt(mode);
            } else if (target == link) {
                expect(linkText != null ? o.ok() : o.notFound(), "own link", o);
            } else {
                expect(o.ok() || ((target == churn || target == flip) && o.notFound()), target.toString(), o);
                return;
            }
            verifyFile();
        }

        private void setTriple(boolean onShared, int shift, PathSet<Integer> set) throws IOException {
            int t = triple();
            changeMode(onShared, p -> set.apply(p, t), m -> m & ~(7 << shift) | (t & 7) << shift);
        }

        private void setBit(boolean onShared, int bit, PathSet<Boolean> set) throws IOException {
            boolean flag = random.nextBoolean();
            changeMode(onShared, p -> set.apply(p, flag), m -> flag ? m | bit : m & ~bit);
        }

        private void queryOwnership(boolean onShared, Database db, String idName, PathQuery<String> query)
                throws IOException {
            Candidates candidates = db == users ? userCandidates : groupCandidates;
            if (onShared) {
                Path target = sharedTarget();
                Outcome o = invoke(() -> query.apply(target.toString()));
                boolean legitimate = o.ok() && candidates.names().contains((String) o.value());
                expect(legitimate || ((target == churn || target == flip) && o.notFound()), target.toString(), o);
                return;
            }
            if (random.nextBoolean()) {
                Outcome o = invoke(() -> query.apply(file.toString()));
                expect(o.ok() && db.nameOf(idName.equals("uid") ? uid : gid).equals(o.value()), "own file", o);
            } else {
                Outcome o = invoke(() -> query.apply(link.toString()));
                if (linkText == null) {
                    expect(o.notFound(), "own link", o);
                } else if (o.ok()) {
                    // The link may go and come back between the two looks only on this thread.
                    expect(db.nameOf(attribute(link, idName)).equals(o.value()), "own link", o);
                } else {
                    expect(false, "own link", o);
                }
            }
        }

        private void changeOwnership(boolean onShared, boolean owner, Candidates candidates, PathSet<String> set)
                throws IOException {
            if (onShared) {
                Path target = sharedTarget();
                String who = pick(candidates.validList());
                Outcome o = run(() -> set.apply(target.toString(), who));
                expect(o.ok() || ((target == churn || target == flip) && o.notFound()), target + " to " + who, o);
                return;
            }
            boolean refused = random.nextInt(8) == 0;
            String who = refused ? pick(candidates.invalid()) : pick(candidates.validList());
            boolean onLink = !refused && random.nextInt(4) == 0;
            Outcome o = run(() -> set.apply((onLink ? link : file).toString(), who));
            if (refused) {
                Class<?> kind = owner ? InvalidUserException.class : InvalidGroupException.class;
                expect(kind.isInstance(o.error()) && o.error().getErrno() == 0, "own file to " + who, o);
                verifyFile();
            } else if (onLink) {
                expect(linkText != null ? o.ok() : o.notFound(), "own link to " + who, o);
                verifyFile();
            } else {
                expect(o.ok(), "own file to " + who, o);
                int id = candidates.valid().get(who);
                if (owner) {
                    uid = id;
                } else {
                    gid = id;
                }
                verifyFileAfterChown();
            }
        }

        private void getSymLinkValue(boolean onShared) {
            if (onShared) {
                Path target = sharedTarget();
                Outcome o = invoke(() -> UnixNativeFile.getSymLinkValue(target.toString()));
                boolean ok;
                if (target == sharedFile) {
                    ok = o.isSystemError(22);
                } else if (target == sharedLink) {
                    ok = o.ok() && SHARED_LINK_TEXT.equals(o.value());
                } else if (target == churn) {
                    ok = (o.ok() && CHURN_TEXTS.contains((String) o.value())) || o.notFound();
                } else {
                    ok = (o.ok() && SHARED_LINK_TEXT.equals(o.value())) || o.isSystemError(22) || o.notFound();
                }
                expect(ok, target.toString(), o);
                return;
            }
            if (random.nextInt(4) == 0) {
                Outcome o = invoke(() -> UnixNativeFile.getSymLinkValue(file.toString()));
                expect(o.isSystemError(22), "own file", o);
            } else {
                Outcome o = invoke(() -> UnixNativeFile.getSymLinkValue(link.toString()));
                expect(linkText != null ? o.ok() && linkText.equals(o.value()) : o.notFound(), "own link", o);
            }
        }

        private void createSymLink(boolean onShared) throws IOException {
            if (onShared) {
                boolean toChurn = random.nextBoolean();
                Path target = toChurn ? churn : flip;
                String text = toChurn ? pick(CHURN_TEXTS) : SHARED_LINK_TEXT;
                Outcome o = run(() -> UnixNativeFile.createSymLink(target.toString(), text));
                expect(o.ok(), target.toString(), o);
                return;
            }
            String text = pick(LINK_TEXTS);
            Outcome o = run(() -> UnixNativeFile.createSymLink(link.toString(), text));
            expect(o.ok(), "own link", o);
            if (linkText == null) {
                linkText = text;
            }
            String stored = Files.readSymbolicLink(link).toString();
            if (!stored.equals(linkText)) {
                fail(current, "own link holds " + stored + ", expected " + linkText);
            }
        }

        private void symlinkDelete(boolean onShared) throws IOException {
            if (onShared) {
                Path target = random.nextBoolean() ? churn : flip;
                Outcome o = run(() -> UnixNativeFile.symlinkDelete(target.toString()));
                expect(o.ok() || o.notFound(), target.toString(), o);
                if (target == flip && random.nextBoolean()) {
                    try {
                        Files.createFile(flip);
                    } catch (FileAlreadyExistsException raced) {
                        // Another thread put a link or a file there first.
                    }
                }
                return;
            }
            Outcome o = run(() -> UnixNativeFile.symlinkDelete(link.toString()));
            if (linkText != null) {
                expect(o.ok(), "own link", o);
            } else {
                expect(o.notFound() && o.error().getMessage().contains("Symlink does not exist"), "own link", o);
            }
            linkText = null;
            if (Files.exists(link, NOFOLLOW)) {
                fail(current, "own link still there");
            }
            verifyFile();
        }

        /**
         * Every mount point of the start that is not one of the churning ones must be listed, in
         * table order, and nothing else but churning ones.
         */
        private void getMountedFileSystems() {
            Outcome o = invoke(UnixNativeFile::getMountedFileSystems);
            if (!o.ok() || o.value() == null) {
                expect(false, "mount table", o);
                return;
            }
            int next = 0;
            for (String point : (String[]) o.value()) {
                if (next < stableMounts.size() && stableMounts.get(next).equals(point)) {
                    next++;
                } else if (!stableMountSet.contains(point) && !point.startsWith(churnPrefix)) {
                    expect(false, "mount point " + point, o);
                    return;
                }
            }
            expect(next == stableMounts.size(), "mount table missing " + (next < stableMounts.size() ? stableMounts.get(next) : ""), o);
        }

        private void getFreeSpace(boolean onShared) throws IOException {
            if (onShared && !mountDirs.isEmpty() && random.nextBoolean()) {
                Path target = pick(mountDirs);
                Outcome o = invoke(() -> UnixNativeFile.getFreeSpace(target.toString()));
                expect(o.ok() && (long) o.value() >= 0 && (long) o.value() <= baseSize, target.toString(), o);
                return;
            }
            Path target = onShared ? sharedFile : file;
            long before = free();
            Outcome o = invoke(() -> UnixNativeFile.getFreeSpace(target.toString()));
            long after = free();
            expect(o.ok() && (long) o.value() >= Math.min(before, after) - SPACE_SLACK
                    && (long) o.value() <= Math.max(before, after) + SPACE_SLACK,
                    target + " (java.nio: " + before + ".." + after + ")", o);
        }

        /** The free bytes as the library counts them: the superuser's reserve counts for root. */
        private long free() throws IOException {
            return root ? store.getUnallocatedSpace() : store.getUsableSpace();
        }

        private void getFileSystemSize(boolean onShared) {
            if (onShared && !mountDirs.isEmpty() && random.nextBoolean()) {
                Path target = pick(mountDirs);
                Outcome o = invoke(() -> UnixNativeFile.getFileSystemSize(target.toString()));
                expect(o.ok() && ((long) o.value() == baseSize || (long) o.value() == CHURN_MOUNT_SIZE), target.toString(), o);
                return;
            }
            Path target = onShared ? sharedFile : file;
            Outcome o = invoke(() -> UnixNativeFile.getFileSystemSize(target.toString()));
            expect(o.ok() && (long) o.value() == baseSize, target.toString(), o);
        }
    }

    @FunctionalInterface
    interface PathQuery<T> {
        T apply(String path) throws ExtendedIOException;
    }

    @FunctionalInterface
    interface PathChange {
        void apply(String path) throws ExtendedIOException;
    }

    @FunctionalInterface
    interface PathSet<T> {
        void apply(String path, T value) throws ExtendedIOException;
    }
}
