package com.zel.io.file;

/**
 * A flag that the file system keeps with an inode, as lsattr shows it and chattr sets it. The
 * constants stand in lsattr's order; each has lsattr's letter and the kernel's bit.
 */
public enum InodeFlag {
    /** {@code s}: secure deletion. */
    SECURE_DELETION('s', 0x1),
    /** {@code u}: undeletable. */
    UNDELETE('u', 0x2),
    /** {@code S}: synchronous updates. */
    SYNC('S', 0x8),
    /** {@code D}: synchronous directory updates. */
    DIRSYNC('D', 0x10000),
    /** {@code i}: immutable: no change, no link, no removal, not even by root. */
    IMMUTABLE('i', 0x10),
    /** {@code a}: append only. */
    APPEND_ONLY('a', 0x20),
    /** {@code d}: left out by dump. */
    NO_DUMP('d', 0x40),
    /** {@code A}: no access-time updates. */
    NO_ATIME('A', 0x80),
    /** {@code c}: compressed by the file system. */
    COMPRESSED('c', 0x4),
    /** {@code E}: encrypted (read only). */
    ENCRYPTED('E', 0x800),
    /** {@code j}: data journalled. */
    JOURNAL_DATA('j', 0x4000),
    /** {@code I}: hashed directory index (read only). */
    INDEXED('I', 0x1000),
    /** {@code t}: no tail merging. */
    NO_TAIL_MERGE('t', 0x8000),
    /** {@code T}: top of a directory hierarchy. */
    TOP_DIRECTORY('T', 0x20000),
    /** {@code e}: extents (read only). */
    EXTENTS('e', 0x80000),
    /** {@code C}: no copy on write. */
    NO_COW('C', 0x800000),
    /** {@code x}: direct access. */
    DAX('x', 0x2000000),
    /** {@code F}: case-insensitive directory. */
    CASEFOLD('F', 0x40000000),
    /** {@code N}: data stored inline (read only). */
    INLINE_DATA('N', 0x10000000),
    /** {@code P}: project id inherited. */
    PROJECT_INHERIT('P', 0x20000000),
    /** {@code V}: verity protected (read only). */
    VERITY('V', 0x100000),
    /** {@code m}: not compressed. */
    NO_COMPRESS('m', 0x400);

    private final char letter;
    private final int bit;

    InodeFlag(char letter, int bit) {
        this.letter = letter;
        this.bit = bit;
    }

    /**
     * Returns lsattr's letter for the flag.
     *
     * @return the letter
     */
    public char letter() {
        return letter;
    }

    int bit() {
        return bit;
    }
}
