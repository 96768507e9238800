package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;

/**
 * A file's whole mode, its permission bits and its set-user-ID, set-group-ID and sticky bits, read
 * in one examination of the file and written in one change. No intermediate mode ever reaches the
 * disk: changing {@code 04755} to {@code 0777} never passes through a set-user-ID file that anyone
 * may write.
 *
 * <p>Like {@link UnixNativeFile}, whose exceptions and texts these methods share, they never follow
 * a final symbolic link. The change is made through the very file that was examined, so a file
 * swapped for a link in between is never changed through the link. See {@link FileModes} for the
 * bits of a mode.
 */
public final class UnixFileMode {
    static {
        NativeLibrary.load();
    }

    private UnixFileMode() {}

    /**
     * Returns the file's mode as {@code stat -c %a} shows it in octal, in one examination.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return the mode, 0 to {@link FileModes#MODE_BITS}
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native int getMode(String path) throws ExtendedIOException;

    /**
     * Sets the file's permission bits and special bits to those of the mode in one change, as
     * {@code chmod} with four octal digits does. A symbolic link is left alone.
     *
     * @param path the file
     * @param mode the new mode; bits above {@link FileModes#MODE_BITS} are ignored
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including a file that
     *     the caller does not own (EPERM) and a read-only file system (EROFS)
     */
    public static native void setMode(String path, int mode) throws ExtendedIOException;
}
