package com.zel.io.file.cli;

import com.zel.io.file.MountSpace;
import java.math.BigInteger;

/**
 * The size of a file system and its bytes free to the caller, as the library measures them: root
 * counts the blocks reserved for it as free, other users do not.
 */
record Space(long size, long free) {
    private static final boolean ROOT = new com.sun.security.auth.module.UnixSystem().getUid() == 0;

    static Space of(MountSpace space) {
        return new Space(space.total(), ROOT ? space.free() : space.available());
    }

    /** The share of the size that is not free, in percent rounded up; null for a size of 0. */
    Integer usePercent() {
        return percent(size - free, size);
    }

    /** part of whole in percent, rounded up as df rounds; null for a whole of 0. */
    static Integer percent(long part, long whole) {
        if (whole <= 0) {
            return null;
        }
        BigInteger[] percent =
                BigInteger.valueOf(Math.max(0, part))
                        .multiply(BigInteger.valueOf(100))
                        .divideAndRemainder(BigInteger.valueOf(whole));
        return percent[0].intValue() + (percent[1].signum() > 0 ? 1 : 0);
    }
}
