package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * Reads every entry of a directory, with its type, mode, owner and group (ids and names), size,
 * allocated blocks, modification time, inode, device, link count, the numbers of a device file and,
 * for a link, its text, in one call into the native library for the whole directory.
 *
 * <p>The directory is opened without following a link (a link raises {@link
 * com.zel.io.file.exception.FileNotFoundException}), and each entry is read relative to that open
 * directory, never by a path resolved again. An entry removed while the directory is read is left
 * out; it is no error. The entries come in the order the file system lists them, {@code .} and
 * {@code ..} left out. Owner and group names are looked up once per id per call, so a changed user
 * database shows on the next call. Failures raise the exceptions of {@link UnixNativeFile}, with
 * errno: {@link com.zel.io.file.exception.AccessDeniedException} for a directory the caller cannot
 * read.
 */
public final class DirectoryScan {
    static {
        NativeLibrary.load();
    }

    // The numbers per entry in what the native methods return: mode, uid, gid, size, mtime,
    // inode, device, links, blocks, major, minor, and where the entry's name and link text end
    // in the texts.
    private static final int FIELDS = 13;
    private static final int NAME_END = 11;
    private static final int LINK_END = 12;
    private static final int AT_FDCWD = -100;

    private DirectoryScan() {}

    /**
     * Returns the entries of a directory.
     *
     * @param directory the directory; a symbolic link is not followed
     * @return a new modifiable list, in the file system's order
     * @throws ExtendedIOException as the class describes
     */
    public static List<DirectoryEntry> scan(String directory) throws ExtendedIOException {
        Names names = new Names();
        try (Directory open = Directory.open(null, directory, read(directory, names))) {
            return open.scan(names);
        }
    }

    /**
     * Returns the entries of a directory, as {@link #scan(String)} does.
     *
     * @param directory the directory
     * @return a new modifiable list
     * @throws ExtendedIOException as the class describes
     */
    public static List<DirectoryEntry> scan(Path directory) throws ExtendedIOException {
        return scan(NativeFiles.text(directory));
    }

    /**
     * Returns one file as a scan of its directory would, itself and not what a link points to; its
     * name is the path as given.
     *
     * @param path the file
     * @return the file's entry
     * @throws ExtendedIOException as the queries of {@link UnixNativeFile} raise it
     */
    public static DirectoryEntry read(String path) throws ExtendedIOException {
        return read(path, new Names());
    }

    /**
     * Returns one file as {@link #read(String)} does.
     *
     * @param path the file
     * @return the file's entry
     * @throws ExtendedIOException as the queries of {@link UnixNativeFile} raise it
     */
    public static DirectoryEntry read(Path path) throws ExtendedIOException {
        return read(NativeFiles.text(path));
    }

    static DirectoryEntry read(String path, Names names) throws ExtendedIOException {
        String[] texts = new String[1];
        long[] numbers = stat0(path, texts);
        numbers[NAME_END] = path.length();
        numbers[LINK_END] += path.length();
        return entries(numbers, path + texts[0], names).get(0);
    }

    private static List<DirectoryEntry> entries(long[] numbers, String texts, Names names) {
        List<DirectoryEntry> entries = new ArrayList<>(numbers.length / FIELDS);
        int at = 0;
        for (int i = 0; i < numbers.length; i += FIELDS) {
            int nameEnd = (int) numbers[i + NAME_END];
            int linkEnd = (int) numbers[i + LINK_END];
            DirectoryEntry.Type type = DirectoryEntry.Type.of(numbers[i]);
            long uid = numbers[i + 1];
            long gid = numbers[i + 2];
            entries.add(new DirectoryEntry(texts.substring(at, nameEnd), type, (int) numbers[i] & 07777, uid, gid,
                    names.user(uid), names.group(gid), numbers[i + 3], numbers[i + 8], numbers[i + 4], numbers[i + 5],
                    numbers[i + 6], numbers[i + 7], numbers[i + 9], numbers[i + 10],
                    type == DirectoryEntry.Type.SYMBOLIC_LINK ? texts.substring(nameEnd, linkEnd) : null));
            at = linkEnd;
        }
        return entries;
    }

    /** The owner and group names of one scan or walk, each id looked up once. */
    static final class Names {
        private final Map<Long, String> users = new HashMap<>();
        private final Map<Long, String> groups = new HashMap<>();
        private long lastUid = -1;
        private long lastGid = -1;
        private String lastUser;
        private String lastGroup;

        String user(long uid) {
            if (uid != lastUid) {
                lastUser = lookUp(users, uid, false);
                lastUid = uid;
            }
            return lastUser;
        }

        String group(long gid) {
            if (gid != lastGid) {
                lastGroup = lookUp(groups, gid, true);
                lastGid = gid;
            }
            return lastGroup;
        }

        // An id no database lists is remembered too, as null.
        private static String lookUp(Map<Long, String> names, long id, boolean group) {
            if (names.containsKey(id)) {
                return names.get(id);
            }
            String name = name0(id, group);
            names.put(id, name);
            return name;
        }
    }

    /**
     * An open directory, entered relative to its parent's descriptor; closed by its owner, once.
     */
    static final class Directory implements AutoCloseable {
        private int fd;

        private Directory(int fd) {
            this.fd = fd;
        }

        /**
         * Opens the directory that entry names in parent (null: entry's name is a path), never
         * through a link, and only if it is still the directory that entry describes.
         */
        static Directory open(Directory parent, String name, DirectoryEntry entry) throws ExtendedIOException {
            return new Directory(open0(parent == null ? AT_FDCWD : parent.fd, name, entry.device(), entry.inode()));
        }

        List<DirectoryEntry> scan(Names names) throws ExtendedIOException {
            String[] texts = new String[1];
            return entries(scan0(fd, texts), texts[0], names);
        }

        @Override
        public void close() {
            if (fd >= 0) {
                close0(fd);
                fd = -1;
            }
        }
    }

    private static native int open0(int dirfd, String name, long device, long inode) throws ExtendedIOException;

    private static native long[] scan0(int fd, String[] texts) throws ExtendedIOException;

    private static native long[] stat0(String path, String[] texts) throws ExtendedIOException;

    private static native void close0(int fd);

    private static native String name0(long id, boolean group);
}
