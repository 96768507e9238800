package com.zel.io.file;

/**
 * One file as {@link DirectoryScan} and {@link FileTree} read it, in one {@code lstat}: the file
 * itself, never what a symbolic link points to.
 *
 * @param name the entry's name in its directory (for the start of a walk or a file read by path,
 *     the path as given), in the library's text rules: standard UTF-8, each byte of a name that is
 *     no valid UTF-8 kept as a character U+DC80..U+DCFF, nothing cut
 * @param type the file's type
 * @param mode the permission bits and the set-user-ID, set-group-ID and sticky bits, 0 to 07777
 * @param uid the owner's user id, 0 to 4294967295
 * @param gid the group's id, 0 to 4294967295
 * @param owner the owner's name, or null when the user database lists none for the id
 * @param group the group's name, or null when the group database lists none for the id
 * @param size the size in bytes (for a link, the length of its text)
 * @param blocks the space allocated to the file, in units of 512 bytes, as {@code st_blocks}
 * @param modifiedNanos the last modification time, in nanoseconds since 1970-01-01 UTC
 * @param inode the inode number
 * @param device the id of the device that holds the file
 * @param links the count of hard links
 * @param major for a block or character device, the major number of the device it stands for,
 *     else 0
 * @param minor for a block or character device, the minor number of the device it stands for,
 *     else 0
 * @param linkTarget for a symbolic link its text as stored, else null
 */
public record DirectoryEntry(
        String name, Type type, int mode, long uid, long gid, String owner, String group, long size,
        long blocks, long modifiedNanos, long inode, long device, long links, long major, long minor,
        String linkTarget) {

    /** The type of a file, with the letter that {@code ls -l} shows for it. */
    public enum Type {
        /** A regular file. */
        REGULAR('-'),
        /** A directory. */
        DIRECTORY('d'),
        /** A symbolic link. */
        SYMBOLIC_LINK('l'),
        /** A character device. */
        CHARACTER_DEVICE('c'),
        /** A block device. */
        BLOCK_DEVICE('b'),
        /** A named pipe. */
        FIFO('p'),
        /** A socket. */
        SOCKET('s');

        private final char letter;

        Type(char letter) {
            this.letter = letter;
        }

        /**
         * Returns the letter that {@code ls -l} shows for the type.
         *
         * @return one of {@code - d l c b p s}
         */
        public char letter() {
            return letter;
        }

        static Type of(long mode) {
            return switch ((int) mode & 0170000) {
                case 0040000 -> DIRECTORY;
                case 0120000 -> SYMBOLIC_LINK;
                case 0020000 -> CHARACTER_DEVICE;
                case 0060000 -> BLOCK_DEVICE;
                case 0010000 -> FIFO;
                case 0140000 -> SOCKET;
                default -> REGULAR;
            };
        }
    }

    /**
     * Tells whether the entry is a directory (never a link to one).
     *
     * @return true for a directory
     */
    public boolean isDirectory() {
        return type == Type.DIRECTORY;
    }
}
