package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;

/**
 * Unix file facilities that the Java platform lacks: the permission triples of a file's user,
 * group and others, the set-user-ID, set-group-ID and sticky bits, owner and group by name or
 * numeric id, symbolic links, the list of mount points, and the free and total space of a file
 * system.
 *
 * <p>Every method examines or changes the named path itself and never follows a final symbolic
 * link. A <em>permission triple</em> is an int whose three low bits are the permissions of one
 * class of users: 4 read, 2 write, 1 execute, the octal digit of that class in a Unix mode.
 *
 * <p>Failures are raised as {@link ExtendedIOException} or one of its subclasses in {@code
 * com.zel.io.file.exception}; the message begins with the system's {@code errno} value. A null
 * argument raises {@code ExtendedIOException} with errno 0.
 *
 * <p>All methods are thread-safe. Setting the environment variable {@code __JNI_NATIVEFILE_DEBUG}
 * (to any value) before the JVM starts prints debug lines on standard output; {@code
 * __JNI_NATIVEFILE_ENTRYEXIT} prints a line on entry to and exit from every native routine.
 *
 * <p>The native library is found, in this order: the file named by the system property {@value
 * #LIBRARY_PROPERTY}; {@code libNativeFile.so} on {@code java.library.path}; the copy packed in
 * this class's jar for the platform ({@code linux-x86_64}, {@code linux-aarch64}), unpacked into
 * the first of these directories where it can be mapped: the one named by the system property
 * {@code com.zel.io.file.tmpdir}, {@code java.io.tmpdir}, {@code ~/.cache/nativefile}. A library
 * whose version is not {@link NativeFileVersion#get()} is refused as it loads.
 */
public final class UnixNativeFile {
    /** System property naming the native library file to load instead of the usual search. */
    public static final String LIBRARY_PROPERTY = "com.zel.io.file.library";

    static {
        NativeLibrary.load();
    }

    private UnixNativeFile() {}

    // ------------------------------------------------------------ permissions

    /**
     * Returns the permissions of the file's owning user.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return the permission triple, 0 to 7
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native int getUserPermissions(String path) throws ExtendedIOException;

    /**
     * Returns the permissions of the file's owning group.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return the permission triple, 0 to 7
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native int getGroupPermissions(String path) throws ExtendedIOException;

    /**
     * Returns the permissions of all users other than the owner and the group.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return the permission triple, 0 to 7
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native int getWorldPermissions(String path) throws ExtendedIOException;

    /**
     * Sets the permissions of the file's owning user; the other bits of the mode stay. A symbolic
     * link is left alone, and so is its target.
     *
     * @param path the file
     * @param triple the new permissions; only the three low bits count
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including a file that
     *     the caller does not own (EPERM) and a read-only file system (EROFS)
     */
    public static native void setUserPermissions(String path, int triple) throws ExtendedIOException;

    /**
     * Sets the permissions of the file's owning group; the other bits of the mode stay. A symbolic
     * link is left alone, and so is its target.
     *
     * @param path the file
     * @param triple the new permissions; only the three low bits count
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void setGroupPermissions(String path, int triple) throws ExtendedIOException;

    /**
     * Sets the permissions of all other users; the other bits of the mode stay. A symbolic link is
     * left alone, and so is its target.
     *
     * @param path the file
     * @param triple the new permissions; only the three low bits count
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void setWorldPermissions(String path, int triple) throws ExtendedIOException;

    /**
     * Sets the permissions of all three classes at once; the special bits stay. A symbolic link is
     * left alone, and so is its target.
     *
     * @param path the file
     * @param user the owner's new permission triple
     * @param group the group's new permission triple
     * @param world the others' new permission triple
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void setPermissions(String path, int user, int group, int world)
            throws ExtendedIOException;

    // ------------------------------------------------------------ special bits

    /**
     * Tells whether the set-group-ID bit is set.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return true when the bit is set
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native boolean isSetGIDBit(String path) throws ExtendedIOException;

    /**
     * Tells whether the set-user-ID bit is set.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return true when the bit is set
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native boolean isSetUIDBit(String path) throws ExtendedIOException;

    /**
     * Tells whether the sticky bit is set.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return true when the bit is set
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native boolean isSetStickyBit(String path) throws ExtendedIOException;

    /**
     * Sets or clears the set-group-ID bit; no other bit changes. A symbolic link is left alone.
     *
     * @param path the file
     * @param flag true sets the bit, false clears it
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void setGIDBit(String path, boolean flag) throws ExtendedIOException;

    /**
     * Sets or clears the set-user-ID bit; no other bit changes. A symbolic link is left alone.
     *
     * @param path the file
     * @param flag true sets the bit, false clears it
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void setUIDBit(String path, boolean flag) throws ExtendedIOException;

    /**
     * Sets or clears the sticky bit; no other bit changes. A symbolic link is left alone.
     *
     * @param path the file
     * @param flag true sets the bit, false clears it
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the file cannot be examined or
     *     changed for lack of permission
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void setStickyBit(String path, boolean flag) throws ExtendedIOException;

    // ------------------------------------------------------------ ownership

    /**
     * Returns the name of the user that owns the file, or the user id in decimal when the user
     * database lists no such user.
     *
     * @param path the file; for a symbolic link, the link's own owner
     * @return the owner's name or decimal id
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native String getFileOwner(String path) throws ExtendedIOException;

    /**
     * Returns the name of the file's group, or the group id in decimal when the group database
     * lists no such group.
     *
     * @param path the file; for a symbolic link, the link's own group
     * @return the group's name or decimal id
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native String getFileGroup(String path) throws ExtendedIOException;

    /**
     * Gives the file a new owner; its group stays. A symbolic link is re-owned itself.
     *
     * @param path the file
     * @param user a user name, or a user id in decimal digits (a string of digits only, the empty
     *     string meaning 0, is always an id and is used without a database lookup)
     * @throws com.zel.io.file.exception.InvalidUserException if no such user exists
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the caller may not give the file
     *     away (EPERM), cannot reach it (EACCES), or the file system is read-only (EROFS)
     * @throws ExtendedIOException for a null argument or any other system error
     */
    public static native void setFileOwner(String path, String user) throws ExtendedIOException;

    /**
     * Gives the file a new group; its owner stays. A symbolic link is re-grouped itself.
     *
     * @param path the file
     * @param group a group name, or a group id in decimal digits (a string of digits only, the
     *     empty string meaning 0, is always an id and is used without a database lookup)
     * @throws com.zel.io.file.exception.InvalidGroupException if no such group exists
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the caller may not change the
     *     group (EPERM), cannot reach the file (EACCES), or the file system is read-only (EROFS)
     * @throws ExtendedIOException for a null argument or any other system error
     */
    public static native void setFileGroup(String path, String group) throws ExtendedIOException;

    // ------------------------------------------------------------ symbolic links

    /**
     * Tells whether the path itself is a symbolic link; its target need not exist.
     *
     * @param path the path
     * @return true for a symbolic link
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native boolean isSymLink(String path) throws ExtendedIOException;

    /**
     * Returns the text stored in a symbolic link, as stored: a relative target stays relative.
     * The text comes back whole, up to the 4,095 bytes a link can hold.
     *
     * @param path the link
     * @return the link's text
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path, a path that is no link (EINVAL) or any other
     *     system error
     */
    public static native String getSymLinkValue(String path) throws ExtendedIOException;

    /**
     * Creates a symbolic link. When something already exists at {@code linkPath}, it is left as it
     * is and no exception is raised.
     *
     * @param linkPath the link to create
     * @param realPath the text to store in it, usually the path of the file it points to; that
     *     file need not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the directory cannot be written
     *     (EACCES, EPERM) or is on a read-only file system (EROFS)
     * @throws com.zel.io.file.exception.FileNotFoundException if a directory of the link path does
     *     not exist
     * @throws ExtendedIOException for a null argument or any other system error
     */
    public static native void createSymLink(String linkPath, String realPath) throws ExtendedIOException;

    /**
     * Removes the directory entry that the path names: a link is removed and its target stays. A
     * path that names a regular file removes that file.
     *
     * @param path the link
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if the directory cannot be written
     *     (EACCES) or the entry is busy (EBUSY)
     * @throws ExtendedIOException for a null path or any other system error, including EPERM and
     *     EROFS
     */
    public static native void symlinkDelete(String path) throws ExtendedIOException;

    // ------------------------------------------------------------ file systems

    /**
     * Lists the mount points of all mounted file systems, in the order of the system's mount
     * table; a mount point mounted twice appears twice.
     *
     * @return the mount points, or null when the mount table cannot be read or is empty
     * @throws ExtendedIOException if the list could not be built for lack of memory
     */
    public static native String[] getMountedFileSystems() throws ExtendedIOException;

    /**
     * Returns the free bytes of the file system that holds the path. The superuser counts the
     * blocks reserved for it; any other user only the blocks available to everyone.
     *
     * @param path any file or directory on the file system
     * @return the free bytes
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native long getFreeSpace(String path) throws ExtendedIOException;

    /**
     * Returns the total bytes of the file system that holds the path.
     *
     * @param path any file or directory on the file system
     * @return the size in bytes
     * @throws com.zel.io.file.exception.FileNotFoundException if the path does not exist
     * @throws com.zel.io.file.exception.AccessDeniedException if a directory of the path cannot be
     *     searched
     * @throws ExtendedIOException for a null path or any other system error
     */
    public static native long getFileSystemSize(String path) throws ExtendedIOException;
}
