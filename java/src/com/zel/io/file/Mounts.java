package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.EnumSet;
import java.util.List;
import java.util.Set;

/**
 * The mount table of the calling process's mount namespace, as findmnt and df see it: every mount
 * with its ids, device, source, options and propagation, the mount that holds a file, and a
 * mount's space.
 *
 * <p>The table is read through libmount from {@code /proc/self/mountinfo} at every call, so /proc
 * must be mounted. Reading takes no lock: threads read in parallel. Failures raise the exceptions
 * of {@link UnixNativeFile}, with errno: reading the table can fail with
 * {@link com.zel.io.file.exception.FileNotFoundException} when /proc is not mounted, a path as
 * for {@link UnixNativeFile}'s queries.
 */
public final class Mounts {
    static {
        NativeLibrary.load();
    }

    // A mount's numbers in the native methods' long[]: id, parent id, major,
    // minor, propagation bits, then where each of its TEXTS texts ends in the
    // one String of all texts.
    private static final int TEXTS = 7;
    private static final int NUMBERS = 5 + TEXTS;
    private static final MountEntry.Propagation[] PROPAGATIONS = MountEntry.Propagation.values();

    private Mounts() {}

    /**
     * Lists the mounts in the order of the mount table, the order findmnt lists them in; a mount
     * point mounted on twice appears twice, the later mount covering the earlier.
     *
     * @return a new unmodifiable list
     * @throws ExtendedIOException if the table cannot be read
     */
    public static List<MountEntry> list() throws ExtendedIOException {
        String[] texts = new String[1];
        long[] numbers = list0(texts);
        MountEntry[] entries = new MountEntry[numbers.length / NUMBERS];
        for (int i = 0; i < entries.length; i++) {
            entries[i] = entry(numbers, i * NUMBERS, texts[0]);
        }
        return List.of(entries);
    }

    /**
     * Returns the mount that holds a file: under bind mounts and overmounts the one through which
     * the path reaches it. A final symbolic link is not followed: the mount holding the link is
     * returned. The kernel names the mount (Linux 5.8 and later); older kernels do not, and then
     * the mount is the one of the file's device whose mount point is the longest leading part of
     * the path, which can be wrong where the same directory of a file system is reachable through
     * two bind mounts, or where the path's directory has moved since.
     *
     * @param path the file
     * @return the mount
     * @throws ExtendedIOException if the path does not lead to a file, or the table cannot be read
     */
    public static MountEntry mountOf(Path path) throws ExtendedIOException {
        String[] texts = new String[1];
        return entry(mountOf0(NativeFiles.text(path), texts), 0, texts[0]);
    }

    /**
     * Returns the space of a mount's file system, measured through its mount point.
     *
     * @param mount the mount
     * @return the space
     * @throws FileNotFoundException if the mount point leads to another mount: this one is hidden
     *     under a later mount on the same or a leading directory, or is gone (on kernels before
     *     5.8, which name no mount, the covering mount is measured instead)
     * @throws ExtendedIOException if the mount point cannot be reached
     */
    public static MountSpace space(MountEntry mount) throws ExtendedIOException {
        String[] fields = space0(mount.mountPoint());
        long seen = Long.parseLong(fields[0]);
        if (seen >= 0 && seen != mount.id()) {
            throw new FileNotFoundException(
                    "[ERRNO: 002] MSG: The mount point leads to another mount: this one is hidden or gone. : "
                            + "The file referenced by this object does not appear to reside on disk.");
        }
        return space(fields);
    }

    /**
     * Returns the space of the file system that holds a file, as df measures it; a final symbolic
     * link is not followed.
     *
     * @param path the file
     * @return the space
     * @throws ExtendedIOException as {@link UnixNativeFile}'s queries raise it
     */
    public static MountSpace space(Path path) throws ExtendedIOException {
        return space(space0(NativeFiles.text(path)));
    }

    private static MountSpace space(String[] fields) {
        long[] n = Arrays.stream(fields, 1, 6).mapToLong(Long::parseLong).toArray();
        return new MountSpace(n[0], n[1], n[2], n[3], n[4]);
    }

    private static MountEntry entry(long[] n, int at, String all) {
        int start = at == 0 ? 0 : (int) n[at - 1];
        String[] t = new String[TEXTS];
        for (int i = 0; i < TEXTS; i++) {
            int end = (int) n[at + 5 + i];
            t[i] = all.substring(start, end);
            start = end;
        }
        Set<MountEntry.Propagation> propagation = EnumSet.noneOf(MountEntry.Propagation.class);
        for (MountEntry.Propagation p : PROPAGATIONS) {
            if ((n[at + 4] & 1L << p.ordinal()) != 0) propagation.add(p);
        }
        boolean readOnly = hasOption(t[5], "ro") || hasOption(t[6], "ro");
        return new MountEntry((int) n[at], (int) n[at + 1], (int) n[at + 2], (int) n[at + 3], t[0], t[1], t[2],
                t[3], t[4], t[5], t[6], readOnly, propagation);
    }

    // Whether the comma-separated list holds the option, without splitting it.
    private static boolean hasOption(String options, String option) {
        for (int at = 0; at <= options.length(); ) {
            int end = options.indexOf(',', at);
            if (end < 0) end = options.length();
            if (end - at == option.length() && options.startsWith(option, at)) return true;
            at = end + 1;
        }
        return false;
    }

    private static native long[] list0(String[] texts) throws ExtendedIOException;

    private static native long[] mountOf0(String path, String[] texts) throws ExtendedIOException;

    private static native String[] space0(String path) throws ExtendedIOException;
}
