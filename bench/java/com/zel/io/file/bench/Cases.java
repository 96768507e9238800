package com.zel.io.file.bench;

import static java.nio.file.LinkOption.NOFOLLOW_LINKS;

import com.zel.io.file.Mounts;
import com.zel.io.file.UnixFileMode;
import com.zel.io.file.UnixNativeFile;
import java.io.File;
import java.io.IOException;
import java.nio.file.FileStore;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipalLookupService;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

/** What is measured: every native method, its floor and Java's own equivalents, on one set of files. */
final class Cases {
    private Cases() {}

    /** One timed call; the result keeps the JIT from dropping the call. */
    interface Op {
        long call() throws Exception;
    }

    /** How a method is judged. */
    enum Kind {
        /** A query: within 1.3 times its floor, 2 threads scale. */
        QUERY,
        /** A query where Java does more work than the system calls need: also 1.5 times faster than Java. */
        LEAN_QUERY,
        /** A change: never slower than Java. */
        CHANGE,
        /** A change where Java does more work than the system calls need. */
        LEAN_CHANGE
    }

    /**
     * A row of the report: a native method (or a pair of them timed as one call), the system calls
     * that are its floor (how many bare JNI calls it counts is jniCalls), and Java's equivalents.
     */
    record Row(String method, Kind kind, String floor, int jniCalls, List<String> java) {
        boolean query() {
            return kind == Kind.QUERY || kind == Kind.LEAN_QUERY;
        }

        boolean lean() {
            return kind == Kind.LEAN_QUERY || kind == Kind.LEAN_CHANGE;
        }

        /** The Strings the method makes for its result, which its floor does not count. */
        int texts(int mountPoints) {
            return switch (method) {
                case "getFileOwner", "getFileGroup", "getSymLinkValue" -> 1;
                case "getMountedFileSystems" -> mountPoints;
                case "Mounts.list", "Mounts.mountOf" -> 1;
                default -> 0;
            };
        }
    }

    static final String BARE = "bare JNI nothing(String)";
    static final String BARE_READ = "bare JNI read(String), its units read";
    static final String BARE_TEXT = "bare JNI text(String), a new String back";
    static final String LINK_PAIR = "createSymLink+symlinkDelete";
    /** libmount's read of the mount table in C, called from Java: the floor of listing mounts, in the same JVM. */
    static final String MOUNT_FLOOR = "C floor: libmount mountinfo, through bare JNI";
    /** The cases of the mount table's thread scaling (tools/bench.sh --threads), the control and the floor first. */
    static final List<String> MOUNT_SCALING =
            List.of(BARE, MOUNT_FLOOR, "getMountedFileSystems", "Mounts.list", "Mounts.mountOf");

    private static final String PERMISSIONS = "Files.getPosixFilePermissions(NOFOLLOW_LINKS)";
    private static final String ATTRIBUTES = "Files.readAttributes(PosixFileAttributes, NOFOLLOW_LINKS)";
    private static final String SET_PERMISSIONS = "Files.setPosixFilePermissions";
    // What Java code does to change one class's bits and keep the others'.
    private static final String EDIT_PERMISSIONS = "Files.getPosixFilePermissions+setPosixFilePermissions";

    static final List<Row> ROWS =
            List.of(
                    new Row("getUserPermissions", Kind.LEAN_QUERY, "lstat", 1, List.of(PERMISSIONS)),
                    new Row("getGroupPermissions", Kind.LEAN_QUERY, "lstat", 1, List.of(PERMISSIONS)),
                    new Row("getWorldPermissions", Kind.LEAN_QUERY, "lstat", 1, List.of(PERMISSIONS)),
                    new Row("isSetUIDBit", Kind.LEAN_QUERY, "lstat", 1, List.of(ATTRIBUTES)),
                    new Row("isSetGIDBit", Kind.LEAN_QUERY, "lstat", 1, List.of(ATTRIBUTES)),
                    new Row("isSetStickyBit", Kind.LEAN_QUERY, "lstat", 1, List.of(ATTRIBUTES)),
                    new Row("getFileOwner", Kind.QUERY, "lstat+getpwuid_r", 1,
                            List.of("Files.getOwner(NOFOLLOW_LINKS)")),
                    new Row("getFileGroup", Kind.QUERY, "lstat+getgrgid_r", 1,
                            List.of("Files.readAttributes(PosixFileAttributes).group()")),
                    new Row("isSymLink", Kind.LEAN_QUERY, "lstat(link)", 1, List.of("Files.isSymbolicLink")),
                    new Row("getSymLinkValue", Kind.QUERY, "readlink", 1, List.of("Files.readSymbolicLink")),
                    new Row("getMountedFileSystems", Kind.LEAN_QUERY, "libmount mountinfo", 1,
                            List.of("FileSystems.getDefault().getFileStores()")),
                    new Row("Mounts.list", Kind.QUERY, "libmount mountinfo", 1,
                            List.of("FileSystems.getDefault().getFileStores()")),
                    new Row("Mounts.mountOf", Kind.QUERY, "open+fstat+statx+libmount", 1,
                            List.of("Files.getFileStore(p)")),
                    new Row("getFreeSpace", Kind.QUERY, "statvfs+geteuid", 1,
                            List.of("File.getUsableSpace()", "Files.getFileStore(p).getUsableSpace()")),
                    new Row("getFileSystemSize", Kind.QUERY, "statvfs", 1,
                            List.of("File.getTotalSpace()", "Files.getFileStore(p).getTotalSpace()")),
                    new Row("setUserPermissions", Kind.CHANGE, "open+fstat+fchmodat2", 1,
                            List.of(SET_PERMISSIONS, EDIT_PERMISSIONS)),
                    new Row("setGroupPermissions", Kind.CHANGE, "open+fstat+fchmodat2", 1,
                            List.of(SET_PERMISSIONS, EDIT_PERMISSIONS)),
                    new Row("setWorldPermissions", Kind.CHANGE, "open+fstat+fchmodat2", 1,
                            List.of(SET_PERMISSIONS, EDIT_PERMISSIONS)),
                    new Row("setPermissions", Kind.CHANGE, "open+fstat+fchmodat2", 1, List.of(SET_PERMISSIONS)),
                    new Row("setUIDBit", Kind.CHANGE, "open+fstat+fchmodat2", 1, List.of()),
                    new Row("setGIDBit", Kind.CHANGE, "open+fstat+fchmodat2", 1, List.of()),
                    new Row("setStickyBit", Kind.CHANGE, "open+fstat+fchmodat2", 1, List.of()),
                    new Row("setFileOwner", Kind.CHANGE, "open+fstat+getpwnam_r+fchownat", 1,
                            List.of("PosixFileAttributeView(NOFOLLOW_LINKS).setOwner(lookup)")),
                    new Row("setFileGroup", Kind.CHANGE, "open+fstat+getgrnam_r+fchownat", 1,
                            List.of("PosixFileAttributeView(NOFOLLOW_LINKS).setGroup(lookup)")),
                    new Row("UnixFileMode.getMode", Kind.LEAN_QUERY, "lstat", 1, List.of(ATTRIBUTES)),
                    new Row("UnixFileMode.setMode", Kind.CHANGE, "open+fstat+fchmodat2", 1, List.of(SET_PERMISSIONS)),
                    new Row(LINK_PAIR, Kind.LEAN_CHANGE, "symlink+unlink", 2,
                            List.of("Files.createSymbolicLink+Files.delete")));

    /** The benchmark's files in dir, made anew. */
    static void makeFiles(Path dir) throws IOException {
        Files.createDirectories(dir);
        Set<PosixFilePermission> mode = PosixFilePermissions.fromString("rw-r-----");
        for (String name : List.of("regular.txt", "changed.txt", "owned.txt")) {
            Path file = dir.resolve(name);
            Files.deleteIfExists(file);
            Files.writeString(file, "x");
            Files.setPosixFilePermissions(file, mode);
        }
        Files.deleteIfExists(dir.resolve("link"));
        Files.deleteIfExists(dir.resolve("new-link"));
        Files.createSymbolicLink(dir.resolve("link"), Path.of("regular.txt"));
    }

    /** Every timed call on the files in dir, by name: each method, the bare JNI call, Java's equivalents. */
    static Map<String, Op> ops(Path dir) throws IOException {
        String regular = dir.resolve("regular.txt").toString();
        String link = dir.resolve("link").toString();
        String changed = dir.resolve("changed.txt").toString();
        String owned = dir.resolve("owned.txt").toString();
        String newLink = dir.resolve("new-link").toString();
        Path regularPath = Path.of(regular);
        Path linkPath = Path.of(link);
        Path changedPath = Path.of(changed);
        Path ownedPath = Path.of(owned);
        Path newLinkPath = Path.of(newLink);
        Path target = Path.of("regular.txt");
        File regularFile = new File(regular);
        PosixFileAttributes ownedAttributes =
                Files.readAttributes(ownedPath, PosixFileAttributes.class, NOFOLLOW_LINKS);
        String user = ownedAttributes.owner().getName();
        String group = ownedAttributes.group().getName();
        UserPrincipalLookupService lookup = FileSystems.getDefault().getUserPrincipalLookupService();
        PosixFileAttributeView ownedView =
                Files.getFileAttributeView(ownedPath, PosixFileAttributeView.class, NOFOLLOW_LINKS);
        Set<PosixFilePermission> mode = PosixFilePermissions.fromString("rw-r-----");

        Map<String, Op> ops = new LinkedHashMap<>();
        ops.put(BARE, () -> BareJni.nothing(regular));
        ops.put(BARE_READ, () -> BareJni.read(regular));
        ops.put(BARE_TEXT, () -> BareJni.text(regular).length());
        ops.put(MOUNT_FLOOR, BareJni::mountTable);
        ops.put("getUserPermissions", () -> UnixNativeFile.getUserPermissions(regular));
        ops.put("getGroupPermissions", () -> UnixNativeFile.getGroupPermissions(regular));
        ops.put("getWorldPermissions", () -> UnixNativeFile.getWorldPermissions(regular));
        ops.put("isSetUIDBit", () -> UnixNativeFile.isSetUIDBit(regular) ? 1 : 0);
        ops.put("isSetGIDBit", () -> UnixNativeFile.isSetGIDBit(regular) ? 1 : 0);
        ops.put("isSetStickyBit", () -> UnixNativeFile.isSetStickyBit(regular) ? 1 : 0);
        ops.put("getFileOwner", () -> UnixNativeFile.getFileOwner(regular).length());
        ops.put("getFileGroup", () -> UnixNativeFile.getFileGroup(regular).length());
        ops.put("isSymLink", () -> UnixNativeFile.isSymLink(link) ? 1 : 0);
        ops.put("getSymLinkValue", () -> UnixNativeFile.getSymLinkValue(link).length());
        ops.put("getMountedFileSystems", () -> UnixNativeFile.getMountedFileSystems().length);
        ops.put("Mounts.list", () -> Mounts.list().size());
        ops.put("Mounts.mountOf", () -> Mounts.mountOf(regularPath).id());
        ops.put("getFreeSpace", () -> UnixNativeFile.getFreeSpace(regular));
        ops.put("getFileSystemSize", () -> UnixNativeFile.getFileSystemSize(regular));
        ops.put("setUserPermissions", () -> run(() -> UnixNativeFile.setUserPermissions(changed, 6)));
        ops.put("setGroupPermissions", () -> run(() -> UnixNativeFile.setGroupPermissions(changed, 4)));
        ops.put("setWorldPermissions", () -> run(() -> UnixNativeFile.setWorldPermissions(changed, 0)));
        ops.put("setPermissions", () -> run(() -> UnixNativeFile.setPermissions(changed, 6, 4, 0)));
        ops.put("setUIDBit", () -> run(() -> UnixNativeFile.setUIDBit(changed, false)));
        ops.put("setGIDBit", () -> run(() -> UnixNativeFile.setGIDBit(changed, false)));
        ops.put("setStickyBit", () -> run(() -> UnixNativeFile.setStickyBit(changed, false)));
        ops.put("setFileOwner", () -> run(() -> UnixNativeFile.setFileOwner(owned, user)));
        ops.put("setFileGroup", () -> run(() -> UnixNativeFile.setFileGroup(owned, group)));
        ops.put("UnixFileMode.getMode", () -> UnixFileMode.getMode(regular));
        ops.put("UnixFileMode.setMode", () -> run(() -> UnixFileMode.setMode(changed, 0640)));
        ops.put(LINK_PAIR, () -> run(() -> {
            UnixNativeFile.createSymLink(newLink, "regular.txt");
            UnixNativeFile.symlinkDelete(newLink);
        }));

        ops.put(PERMISSIONS, () -> Files.getPosixFilePermissions(regularPath, NOFOLLOW_LINKS).size());
        ops.put(ATTRIBUTES, () -> Files.readAttributes(regularPath, PosixFileAttributes.class, NOFOLLOW_LINKS).size());
        ops.put("Files.getOwner(NOFOLLOW_LINKS)", () -> Files.getOwner(regularPath, NOFOLLOW_LINKS).getName().length());
        ops.put("Files.readAttributes(PosixFileAttributes).group()",
                () -> Files.readAttributes(regularPath, PosixFileAttributes.class, NOFOLLOW_LINKS)
                        .group().getName().length());
        ops.put("Files.isSymbolicLink", () -> Files.isSymbolicLink(linkPath) ? 1 : 0);
        ops.put("Files.readSymbolicLink", () -> Files.readSymbolicLink(linkPath).toString().length());
        ops.put("FileSystems.getDefault().getFileStores()", () -> {
            long count = 0;
            for (FileStore store : FileSystems.getDefault().getFileStores()) count += store.name().length();
            return count;
        });
        ops.put("Files.getFileStore(p)", () -> Files.getFileStore(regularPath).name().length());
        ops.put("File.getUsableSpace()", regularFile::getUsableSpace);
        ops.put("Files.getFileStore(p).getUsableSpace()", () -> Files.getFileStore(regularPath).getUsableSpace());
        ops.put("File.getTotalSpace()", regularFile::getTotalSpace);
        ops.put("Files.getFileStore(p).getTotalSpace()", () -> Files.getFileStore(regularPath).getTotalSpace());
        ops.put(SET_PERMISSIONS, () -> Files.setPosixFilePermissions(changedPath, mode).hashCode());
        ops.put(EDIT_PERMISSIONS, () -> {
            Set<PosixFilePermission> edited = Files.getPosixFilePermissions(changedPath, NOFOLLOW_LINKS);
            edited.add(PosixFilePermission.OWNER_READ);
            edited.add(PosixFilePermission.OWNER_WRITE);
            edited.remove(PosixFilePermission.OWNER_EXECUTE);
            return Files.setPosixFilePermissions(changedPath, edited).hashCode();
        });
        ops.put("PosixFileAttributeView(NOFOLLOW_LINKS).setOwner(lookup)",
                () -> run(() -> ownedView.setOwner(lookup.lookupPrincipalByName(user))));
        ops.put("PosixFileAttributeView(NOFOLLOW_LINKS).setGroup(lookup)",
                () -> run(() -> ownedView.setGroup(lookup.lookupPrincipalByGroupName(group))));
        ops.put("Files.createSymbolicLink+Files.delete", () -> run(() -> {
            Files.createSymbolicLink(newLinkPath, target);
            Files.delete(newLinkPath);
        }));
        return ops;
    }

    /** The query methods, for thread scaling. */
    static List<String> queries() {
        return ROWS.stream().filter(Row::query).map(Row::method).toList();
    }

    private interface Action {
        void run() throws Exception;
    }

    private static long run(Action action) throws Exception {
        action.run();
        return 1;
    }
}
