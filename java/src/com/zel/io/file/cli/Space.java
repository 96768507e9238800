package com.zel.io.file.cli;

import com.zel.io.file.UnixNativeFile;
import com.zel.io.file.exception.ExtendedIOException;
import java.math.BigInteger;

/**
 * The size of a file system and its bytes free to the caller, as the library measures them: root
 * counts the blocks reserved for it as free, other users do not.
 */
record Space(long size, long free) {
    static Space of(String path) throws ExtendedIOException {
        return new Space(UnixNativeFile.getFileSystemSize(path), UnixNativeFile.getFreeSpace(path));
    }

    /** The share of the size that is not free, in percent rounded up; null for a size of 0. */
    Integer usePercent() {
        if (size <= 0) {
            return null;
        }
        BigInteger[] percent =
                BigInteger.valueOf(Math.max(0, size - free))
                        .multiply(BigInteger.valueOf(100))
                        .divideAndRemainder(BigInteger.valueOf(size));
        return percent[0].intValue() + (percent[1].signum() > 0 ? 1 : 0);
    }
}
