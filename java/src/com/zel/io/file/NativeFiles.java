package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.FileSystems;
import java.nio.file.Path;
import java.nio.file.ProviderMismatchException;
import java.nio.file.attribute.PosixFilePermission;
import java.util.List;
import java.util.Set;

/**
 * Companion of {@link UnixNativeFile} for code that works with {@link Path}: every method of that
 * class that takes a path, taking a {@code Path} instead, and whole modes read and written at once
 * (see {@link FileModes} for the bits of a mode).
 *
 * <p>Each method behaves as the {@code UnixNativeFile} method of the same name, given the path's
 * text: it never follows a final symbolic link and raises the same exceptions. A null path is
 * passed on as null. The paths must belong to the default file system.
 */
public final class NativeFiles {
    private NativeFiles() {}

    static String text(Path path) {
        if (path == null) {
            return null;
        }
        if (path.getFileSystem() != FileSystems.getDefault()) {
            throw new ProviderMismatchException("not a path of the default file system: " + path);
        }
        return path.toString();
    }

    // ------------------------------------------------------------ whole modes

    /**
     * Returns the file's permission bits and special bits as one mode, as {@code stat -c %a}
     * shows it in octal, as {@link UnixFileMode#getMode} does.
     *
     * @param path the file; a symbolic link reports its own mode
     * @return the mode, 0 to {@link FileModes#MODE_BITS}
     * @throws ExtendedIOException as {@link UnixFileMode#getMode} raises it
     */
    public static int getMode(String path) throws ExtendedIOException {
        return UnixFileMode.getMode(path);
    }

    /**
     * Returns the file's mode as {@link #getMode(String)} does.
     *
     * @param path the file
     * @return the mode, 0 to {@link FileModes#MODE_BITS}
     * @throws ExtendedIOException as the queries of {@link UnixNativeFile} raise it
     */
    public static int getMode(Path path) throws ExtendedIOException {
        return getMode(text(path));
    }

    /**
     * Sets the file's permission bits and special bits to those of the mode in one change, as
     * {@code chmod} with four octal digits does and as {@link UnixFileMode#setMode} does. A
     * symbolic link is left alone.
     *
     * @param path the file
     * @param mode the new mode; bits above {@link FileModes#MODE_BITS} are ignored
     * @throws ExtendedIOException as {@link UnixFileMode#setMode} raises it
     */
    public static void setMode(String path, int mode) throws ExtendedIOException {
        UnixFileMode.setMode(path, mode);
    }

    /**
     * Sets the file's mode as {@link #setMode(String, int)} does.
     *
     * @param path the file
     * @param mode the new mode
     * @throws ExtendedIOException as the changes of {@link UnixNativeFile} raise it
     */
    public static void setMode(Path path, int mode) throws ExtendedIOException {
        setMode(text(path), mode);
    }

    /**
     * Returns the permissions that the file's permission bits grant.
     *
     * @param path the file; a symbolic link reports its own permissions
     * @return a new modifiable set
     * @throws ExtendedIOException as {@link UnixFileMode#getMode} raises it
     */
    public static Set<PosixFilePermission> getPosixFilePermissions(Path path) throws ExtendedIOException {
        return FileModes.toPermissions(UnixFileMode.getMode(text(path)));
    }

    /**
     * Sets the file's permission bits to the given permissions; its special bits stay. A symbolic
     * link is left alone.
     *
     * @param path the file
     * @param permissions the permissions to grant; all others are taken away
     * @throws ExtendedIOException as {@link UnixNativeFile#setPermissions} raises it
     */
    public static void setPosixFilePermissions(Path path, Set<PosixFilePermission> permissions)
            throws ExtendedIOException {
        int mode = FileModes.fromPermissions(permissions);
        UnixNativeFile.setPermissions(text(path), mode >> 6 & 7, mode >> 3 & 7, mode & 7);
    }

    /**
     * Lists the mount points of all mounted file systems, in the order of the system's mount
     * table.
     *
     * @return the mount points; empty when the mount table cannot be read or is empty
     * @throws ExtendedIOException as {@link UnixNativeFile#getMountedFileSystems} raises it
     */
    public static List<String> getMountPoints() throws ExtendedIOException {
        String[] mountPoints = UnixNativeFile.getMountedFileSystems();
        return mountPoints == null ? List.of() : List.of(mountPoints);
    }

    // ------------------------------------------------------------ Path overloads

    /**
     * See {@link UnixNativeFile#getUserPermissions(String)}.
     *
     * @param path the file
     * @return the permission triple, 0 to 7
     * @throws ExtendedIOException as that method raises it
     */
    public static int getUserPermissions(Path path) throws ExtendedIOException {
        return UnixNativeFile.getUserPermissions(text(path));
    }

    /**
     * See {@link UnixNativeFile#getGroupPermissions(String)}.
     *
     * @param path the file
     * @return the permission triple, 0 to 7
     * @throws ExtendedIOException as that method raises it
     */
    public static int getGroupPermissions(Path path) throws ExtendedIOException {
        return UnixNativeFile.getGroupPermissions(text(path));
    }

    /**
     * See {@link UnixNativeFile#getWorldPermissions(String)}.
     *
     * @param path the file
     * @return the permission triple, 0 to 7
     * @throws ExtendedIOException as that method raises it
     */
    public static int getWorldPermissions(Path path) throws ExtendedIOException {
        return UnixNativeFile.getWorldPermissions(text(path));
    }

    /**
     * See {@link UnixNativeFile#setUserPermissions(String, int)}.
     *
     * @param path the file
     * @param triple the new permissions
     * @throws ExtendedIOException as that method raises it
     */
    public static void setUserPermissions(Path path, int triple) throws ExtendedIOException {
        UnixNativeFile.setUserPermissions(text(path), triple);
    }

    /**
     * See {@link UnixNativeFile#setGroupPermissions(String, int)}.
     *
     * @param path the file
     * @param triple the new permissions
     * @throws ExtendedIOException as that method raises it
     */
    public static void setGroupPermissions(Path path, int triple) throws ExtendedIOException {
        UnixNativeFile.setGroupPermissions(text(path), triple);
    }

    /**
     * See {@link UnixNativeFile#setWorldPermissions(String, int)}.
     *
     * @param path the file
     * @param triple the new permissions
     * @throws ExtendedIOException as that method raises it
     */
    public static void setWorldPermissions(Path path, int triple) throws ExtendedIOException {
        UnixNativeFile.setWorldPermissions(text(path), triple);
    }

    /**
     * See {@link UnixNativeFile#setPermissions(String, int, int, int)}.
     *
     * @param path the file
     * @param user the owner's new permission triple
     * @param group the group's new permission triple
     * @param world the others' new permission triple
     * @throws ExtendedIOException as that method raises it
     */
    public static void setPermissions(Path path, int user, int group, int world) throws ExtendedIOException {
        UnixNativeFile.setPermissions(text(path), user, group, world);
    }

    /**
     * See {@link UnixNativeFile#isSetUIDBit(String)}.
     *
     * @param path the file
     * @return true when the bit is set
     * @throws ExtendedIOException as that method raises it
     */
    public static boolean isSetUIDBit(Path path) throws ExtendedIOException {
        return UnixNativeFile.isSetUIDBit(text(path));
    }

    /**
     * See {@link UnixNativeFile#isSetGIDBit(String)}.
     *
     * @param path the file
     * @return true when the bit is set
     * @throws ExtendedIOException as that method raises it
     */
    public static boolean isSetGIDBit(Path path) throws ExtendedIOException {
        return UnixNativeFile.isSetGIDBit(text(path));
    }

    /**
     * See {@link UnixNativeFile#isSetStickyBit(String)}.
     *
     * @param path the file
     * @return true when the bit is set
     * @throws ExtendedIOException as that method raises it
     */
    public static boolean isSetStickyBit(Path path) throws ExtendedIOException {
        return UnixNativeFile.isSetStickyBit(text(path));
    }

    /**
     * See {@link UnixNativeFile#setUIDBit(String, boolean)}.
     *
     * @param path the file
     * @param flag true sets the bit, false clears it
     * @throws ExtendedIOException as that method raises it
     */
    public static void setUIDBit(Path path, boolean flag) throws ExtendedIOException {
        UnixNativeFile.setUIDBit(text(path), flag);
    }

    /**
     * See {@link UnixNativeFile#setGIDBit(String, boolean)}.
     *
     * @param path the file
     * @param flag true sets the bit, false clears it
     * @throws ExtendedIOException as that method raises it
     */
    public static void setGIDBit(Path path, boolean flag) throws ExtendedIOException {
        UnixNativeFile.setGIDBit(text(path), flag);
    }

    /**
     * See {@link UnixNativeFile#setStickyBit(String, boolean)}.
     *
     * @param path the file
     * @param flag true sets the bit, false clears it
     * @throws ExtendedIOException as that method raises it
     */
    public static void setStickyBit(Path path, boolean flag) throws ExtendedIOException {
        UnixNativeFile.setStickyBit(text(path), flag);
    }

    /**
     * See {@link UnixNativeFile#getFileOwner(String)}.
     *
     * @param path the file
     * @return the owner's name or decimal id
     * @throws ExtendedIOException as that method raises it
     */
    public static String getFileOwner(Path path) throws ExtendedIOException {
        return UnixNativeFile.getFileOwner(text(path));
    }

    /**
     * See {@link UnixNativeFile#getFileGroup(String)}.
     *
     * @param path the file
     * @return the group's name or decimal id
     * @throws ExtendedIOException as that method raises it
     */
    public static String getFileGroup(Path path) throws ExtendedIOException {
        return UnixNativeFile.getFileGroup(text(path));
    }

    /**
     * See {@link UnixNativeFile#setFileOwner(String, String)}.
     *
     * @param path the file
     * @param user a user name or decimal id
     * @throws ExtendedIOException as that method raises it
     */
    public static void setFileOwner(Path path, String user) throws ExtendedIOException {
        UnixNativeFile.setFileOwner(text(path), user);
    }

    /**
     * See {@link UnixNativeFile#setFileGroup(String, String)}.
     *
     * @param path the file
     * @param group a group name or decimal id
     * @throws ExtendedIOException as that method raises it
     */
    public static void setFileGroup(Path path, String group) throws ExtendedIOException {
        UnixNativeFile.setFileGroup(text(path), group);
    }

    /**
     * See {@link UnixNativeFile#isSymLink(String)}.
     *
     * @param path the path
     * @return true for a symbolic link
     * @throws ExtendedIOException as that method raises it
     */
    public static boolean isSymLink(Path path) throws ExtendedIOException {
        return UnixNativeFile.isSymLink(text(path));
    }

    /**
     * See {@link UnixNativeFile#getSymLinkValue(String)}.
     *
     * @param path the link
     * @return the link's text
     * @throws ExtendedIOException as that method raises it
     */
    public static String getSymLinkValue(Path path) throws ExtendedIOException {
        return UnixNativeFile.getSymLinkValue(text(path));
    }

    /**
     * See {@link UnixNativeFile#createSymLink(String, String)}.
     *
     * @param linkPath the link to create
     * @param realPath the path to store in it, relative or absolute as given
     * @throws ExtendedIOException as that method raises it
     */
    public static void createSymLink(Path linkPath, Path realPath) throws ExtendedIOException {
        UnixNativeFile.createSymLink(text(linkPath), text(realPath));
    }

    /**
     * See {@link UnixNativeFile#symlinkDelete(String)}.
     *
     * @param path the link
     * @throws ExtendedIOException as that method raises it
     */
    public static void symlinkDelete(Path path) throws ExtendedIOException {
        UnixNativeFile.symlinkDelete(text(path));
    }

    /**
     * See {@link UnixNativeFile#getFreeSpace(String)}.
     *
     * @param path any file or directory on the file system
     * @return the free bytes
     * @throws ExtendedIOException as that method raises it
     */
    public static long getFreeSpace(Path path) throws ExtendedIOException {
        return UnixNativeFile.getFreeSpace(text(path));
    }

    /**
     * See {@link UnixNativeFile#getFileSystemSize(String)}.
     *
     * @param path any file or directory on the file system
     * @return the size in bytes
     * @throws ExtendedIOException as that method raises it
     */
    public static long getFileSystemSize(Path path) throws ExtendedIOException {
        return UnixNativeFile.getFileSystemSize(text(path));
    }
}
