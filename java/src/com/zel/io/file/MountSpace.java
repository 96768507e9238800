package com.zel.io.file;

/**
 * The space of a mounted file system, as statvfs reports it and df shows it.
 *
 * @param total the size in bytes
 * @param free the bytes not in use, the blocks reserved for root included
 * @param available the bytes an unprivileged caller can still write
 * @param inodes the number of inodes; 0 for a file system that does not count them
 * @param freeInodes the inodes not in use
 */
public record MountSpace(long total, long free, long available, long inodes, long freeInodes) {
    /**
     * Returns the bytes in use, as df's Used column.
     *
     * @return the size less the free bytes
     */
    public long used() {
        return total - free;
    }
}
