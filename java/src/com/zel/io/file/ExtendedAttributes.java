package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.Path;
import java.util.List;
import java.util.Set;

/**
 * A file's extended attributes in every namespace the caller may reach ({@code user.}, {@code
 * trusted.}, {@code security.}), listed, read, written and removed on the named file itself: a
 * symbolic link's own attributes, never its target's. Values are bytes.
 *
 * <p>Each call examines the path once and works through that very file, so a file swapped for a
 * link in between cannot redirect it. Failures raise the exceptions of {@link UnixNativeFile},
 * with errno: {@link com.zel.io.file.exception.NotSupportedException} where the file system or
 * the file takes no such attribute (EOPNOTSUPP), {@code ExtendedIOException} for an attribute the
 * file lacks (ENODATA), one that exists already or is missing under {@link Option}s (EEXIST,
 * ENODATA), and a name or value over the system's limit (ERANGE, E2BIG, ENOSPC). A null argument
 * raises {@code ExtendedIOException} with errno 0.
 */
public final class ExtendedAttributes {
    static {
        NativeLibrary.load();
    }

    /** How {@link #set} treats an attribute that exists, or does not. */
    public enum Option {
        /** Fail with EEXIST if the attribute exists already. */
        CREATE,
        /** Fail with ENODATA if the attribute does not exist yet. */
        REPLACE
    }

    private ExtendedAttributes() {}

    /**
     * Lists the names of the file's extended attributes that the caller may see.
     *
     * @param path the file; a symbolic link lists its own
     * @return the names, in the file system's order
     * @throws ExtendedIOException as the class describes
     */
    public static List<String> list(Path path) throws ExtendedIOException {
        return List.of(list0(NativeFiles.text(path)));
    }

    /**
     * Returns an extended attribute's value.
     *
     * @param path the file; a symbolic link gives its own
     * @param name the attribute's full name, its namespace included ({@code user.comment})
     * @return the value's bytes
     * @throws ExtendedIOException as the class describes; ENODATA when the file lacks it
     */
    public static byte[] get(Path path, String name) throws ExtendedIOException {
        return get0(NativeFiles.text(path), name);
    }

    /**
     * Sets an extended attribute's value, creating the attribute or replacing its value.
     *
     * @param path the file; a symbolic link takes it itself
     * @param name the attribute's full name, its namespace included
     * @param value the new value
     * @param options {@link Option#CREATE} or {@link Option#REPLACE} to refuse the other case; both
     *     at once refuse every call
     * @throws ExtendedIOException as the class describes
     */
    public static void set(Path path, String name, byte[] value, Set<Option> options) throws ExtendedIOException {
        int flags = (options.contains(Option.CREATE) ? 1 : 0) | (options.contains(Option.REPLACE) ? 2 : 0);
        set0(NativeFiles.text(path), name, value, flags);
    }

    /**
     * Removes an extended attribute.
     *
     * @param path the file; a symbolic link loses its own
     * @param name the attribute's full name
     * @throws ExtendedIOException as the class describes; ENODATA when the file lacks it
     */
    public static void remove(Path path, String name) throws ExtendedIOException {
        remove0(NativeFiles.text(path), name);
    }

    private static native String[] list0(String path) throws ExtendedIOException;

    private static native byte[] get0(String path, String name) throws ExtendedIOException;

    private static native void set0(String path, String name, byte[] value, int flags) throws ExtendedIOException;

    private static native void remove0(String path, String name) throws ExtendedIOException;
}
