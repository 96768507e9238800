package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.Path;
import java.util.EnumSet;
import java.util.Set;

/**
 * The flags that the file system keeps with a file's inode, read and changed as lsattr and chattr
 * do: immutable {@code i}, append-only {@code a}, no-dump {@code d}, no-atime {@code A} and the
 * rest of {@link InodeFlag}.
 *
 * <p>Only a regular file or a directory has such flags; any other file, a symbolic link included,
 * raises {@link com.zel.io.file.exception.NotSupportedException}, and so does a file system that
 * keeps none (tmpfs keeps a few). The file is examined once, without following a link, and its
 * flags are read and changed through that very file, so a file swapped for a link in between
 * cannot redirect a change. Reading and changing need the file to be readable to the caller, as
 * for lsattr; most changes need the owner or root, and {@code i} and {@code a} need root.
 * Failures raise the exceptions of {@link UnixNativeFile}, with errno.
 */
public final class InodeFlags {
    static {
        NativeLibrary.load();
    }

    // Flags the kernel reports but never lets a caller change.
    private static final Set<InodeFlag> READ_ONLY =
            EnumSet.of(InodeFlag.ENCRYPTED, InodeFlag.INDEXED, InodeFlag.EXTENTS, InodeFlag.INLINE_DATA, InodeFlag.VERITY);

    private InodeFlags() {}

    /**
     * Returns the file's flags.
     *
     * @param path a regular file or directory
     * @return a new modifiable set
     * @throws ExtendedIOException as the class describes
     */
    public static Set<InodeFlag> get(Path path) throws ExtendedIOException {
        return fromBits(get0(NativeFiles.text(path)));
    }

    /**
     * Adds some flags and removes others, as {@code chattr +i -a}, in one change; the file's other
     * flags stay.
     *
     * @param path a regular file or directory
     * @param added the flags to add
     * @param removed the flags to remove
     * @throws ExtendedIOException as the class describes
     */
    public static void change(Path path, Set<InodeFlag> added, Set<InodeFlag> removed) throws ExtendedIOException {
        change0(NativeFiles.text(path), bits(added), bits(removed));
    }

    /**
     * Adds flags, as {@code chattr +}, in one change; the file's other flags stay.
     *
     * @param path a regular file or directory
     * @param flags the flags to add
     * @throws ExtendedIOException as the class describes
     */
    public static void add(Path path, Set<InodeFlag> flags) throws ExtendedIOException {
        change0(NativeFiles.text(path), bits(flags), 0);
    }

    /**
     * Removes flags, as {@code chattr -}, in one change; the file's other flags stay.
     *
     * @param path a regular file or directory
     * @param flags the flags to remove
     * @throws ExtendedIOException as the class describes
     */
    public static void remove(Path path, Set<InodeFlag> flags) throws ExtendedIOException {
        change0(NativeFiles.text(path), 0, bits(flags));
    }

    /**
     * Makes the given flags the file's only changeable ones, as {@code chattr =}, in one change.
     * Flags that no caller can change (extents, encryption and the like) stay as they are.
     *
     * @param path a regular file or directory
     * @param flags the flags the file is to have
     * @throws ExtendedIOException as the class describes
     */
    public static void set(Path path, Set<InodeFlag> flags) throws ExtendedIOException {
        EnumSet<InodeFlag> cleared = EnumSet.complementOf(EnumSet.copyOf(READ_ONLY));
        cleared.removeAll(flags);
        change0(NativeFiles.text(path), bits(flags), bits(cleared));
    }

    /**
     * Returns the flags as lsattr prints them: one place per flag in {@link InodeFlag}'s order, its
     * letter where set, else {@code -}.
     *
     * @param flags the flags
     * @return the letters, as many as there are flags
     */
    public static String toLetters(Set<InodeFlag> flags) {
        StringBuilder letters = new StringBuilder();
        for (InodeFlag flag : InodeFlag.values()) {
            letters.append(flags.contains(flag) ? flag.letter() : '-');
        }
        return letters.toString();
    }

    /**
     * Returns the flags that chattr's letters name ({@code "ia"}).
     *
     * @param letters chattr's letters, in any order
     * @return a new modifiable set
     * @throws IllegalArgumentException for a letter that names no flag
     */
    public static Set<InodeFlag> fromLetters(String letters) {
        EnumSet<InodeFlag> flags = EnumSet.noneOf(InodeFlag.class);
        for (char letter : letters.toCharArray()) {
            flags.add(
                    EnumSet.allOf(InodeFlag.class).stream()
                            .filter(flag -> flag.letter() == letter)
                            .findFirst()
                            .orElseThrow(() -> new IllegalArgumentException("no flag '" + letter + "'")));
        }
        return flags;
    }

    private static int bits(Set<InodeFlag> flags) {
        int bits = 0;
        for (InodeFlag flag : flags) {
            bits |= flag.bit();
        }
        return bits;
    }

    private static Set<InodeFlag> fromBits(int bits) {
        EnumSet<InodeFlag> flags = EnumSet.noneOf(InodeFlag.class);
        for (InodeFlag flag : InodeFlag.values()) {
            if ((bits & flag.bit()) != 0) {
                flags.add(flag);
            }
        }
        return flags;
    }

    private static native int get0(String path) throws ExtendedIOException;

    private static native void change0(String path, int add, int remove) throws ExtendedIOException;
}
