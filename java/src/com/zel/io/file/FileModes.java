package com.zel.io.file;

import java.nio.file.attribute.PosixFilePermission;
import java.util.EnumSet;
import java.util.Set;

/**
 * Conversions of a Unix file mode: to and from the {@link PosixFilePermission} sets of {@code
 * java.nio}, and to and from the nine characters that {@code ls -l} shows after the file type.
 *
 * <p>A <em>mode</em> here is an int whose twelve low bits count: the permission bits {@code 0777}
 * (read, write and execute of user, group and others) and the special bits {@link #SET_UID},
 * {@link #SET_GID} and {@link #STICKY}. Higher bits, such as the file type of a raw {@code
 * st_mode}, are ignored.
 */
public final class FileModes {
    /** The set-user-ID bit, {@code 04000}. */
    public static final int SET_UID = 04000;

    /** The set-group-ID bit, {@code 02000}. */
    public static final int SET_GID = 02000;

    /** The sticky (restricted deletion) bit, {@code 01000}. */
    public static final int STICKY = 01000;

    /** The nine permission bits, {@code 0777}. */
    public static final int PERMISSION_BITS = 0777;

    /** The permission bits and the three special bits, {@code 07777}. */
    public static final int MODE_BITS = 07777;

    private static final String RWX = "rwx";

    // By class (user, group, others): the special bit shown in the class's
    // execute position, and its mark there when execute is set as well.
    private static final int[] SPECIAL = {SET_UID, SET_GID, STICKY};
    private static final String MARKS = "sst";

    private FileModes() {}

    // PosixFilePermission lists owner, group, others, each read, write,
    // execute: the order of the mode's bits from the highest down.
    private static int bit(PosixFilePermission permission) {
        return 0400 >> permission.ordinal();
    }

    /**
     * Returns the permissions that the mode's nine permission bits grant.
     *
     * @param mode the mode; its special and higher bits are ignored
     * @return a new modifiable set of the granted permissions
     */
    public static Set<PosixFilePermission> toPermissions(int mode) {
        Set<PosixFilePermission> permissions = EnumSet.noneOf(PosixFilePermission.class);
        for (PosixFilePermission permission : PosixFilePermission.values()) {
            if ((mode & bit(permission)) != 0) {
                permissions.add(permission);
            }
        }
        return permissions;
    }

    /**
     * Returns the permission bits of a set of permissions.
     *
     * @param permissions the permissions to grant
     * @return the mode with exactly those permission bits, 0 to {@code 0777}
     * @throws NullPointerException if the set or one of its elements is null
     */
    public static int fromPermissions(Set<PosixFilePermission> permissions) {
        int mode = 0;
        for (PosixFilePermission permission : permissions) {
            mode |= bit(permission);
        }
        return mode;
    }

    /**
     * Returns the mode as {@code ls -l} shows it after the file type: nine characters, {@code r},
     * {@code w}, {@code x} or {@code -} for user, group and others, where a set-user-ID or
     * set-group-ID bit shows as {@code s} in place of the class's {@code x} ({@code S} when that
     * {@code x} is not set) and the sticky bit as {@code t} ({@code T}) in place of the others'
     * {@code x}. For example {@code 04755} gives {@code rwsr-xr-x} and {@code 01777} gives {@code
     * rwxrwxrwt}.
     *
     * @param mode the mode; bits above {@link #MODE_BITS} are ignored
     * @return the nine characters
     */
    public static String toLsString(int mode) {
        char[] text = new char[9];
        for (PosixFilePermission permission : PosixFilePermission.values()) {
            int i = permission.ordinal();
            text[i] = (mode & bit(permission)) != 0 ? RWX.charAt(i % 3) : '-';
        }
        for (int c = 0; c < 3; c++) {
            if ((mode & SPECIAL[c]) != 0) {
                int at = 3 * c + 2;
                text[at] = text[at] == 'x' ? MARKS.charAt(c) : Character.toUpperCase(MARKS.charAt(c));
            }
        }
        return new String(text);
    }

    /**
     * Parses the nine characters of {@link #toLsString(int)} back into a mode.
     *
     * @param text nine characters as {@code ls -l} shows them after the file type
     * @return the mode, 0 to {@link #MODE_BITS}
     * @throws IllegalArgumentException if the text is not nine such characters
     */
    public static int fromLsString(String text) {
        if (text.length() != 9) {
            throw new IllegalArgumentException("not nine mode characters: \"" + text + "\"");
        }
        int mode = 0;
        for (PosixFilePermission permission : PosixFilePermission.values()) {
            int i = permission.ordinal();
            char c = text.charAt(i);
            char mark = i % 3 == 2 ? MARKS.charAt(i / 3) : 0;
            if (c == RWX.charAt(i % 3)) {
                mode |= bit(permission);
            } else if (mark != 0 && Character.toLowerCase(c) == mark) {
                mode |= SPECIAL[i / 3] | (c == mark ? bit(permission) : 0);
            } else if (c != '-') {
                throw new IllegalArgumentException("bad mode character '" + c + "' in \"" + text + "\"");
            }
        }
        return mode;
    }
}
