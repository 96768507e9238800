package com.zel.io.file.cli;

/**
 * Byte counts as {@code df -h} prints them: powers of 1024 with the letters K, M, G, T, P and E,
 * one decimal below 10 and none from 10 on, always rounded up; counts below 1024 as they are.
 */
final class HumanSize {
    private static final String UNITS = "KMGTPE";

    private HumanSize() {}

    static String format(long bytes) {
        if (bytes < 1024) {
            return Long.toString(bytes);
        }
        int exponent = 0;
        long scale = 1;
        while (bytes / scale >= 1024) {
            scale *= 1024;
            exponent++;
        }
        long whole = bytes / scale;
        long rest = bytes % scale;
        if (whole < 10) {
            // Tenths rounded up; the halved scale keeps rest * 5 within a long.
            long tenths = (rest * 5 + scale / 2 - 1) / (scale / 2);
            whole += tenths / 10;
            if (whole < 10) {
                return whole + "." + tenths % 10 + UNITS.charAt(exponent - 1);
            }
        } else if (rest > 0) {
            whole++;
        }
        if (whole == 1024) {
            return "1.0" + UNITS.charAt(exponent);
        }
        return whole + String.valueOf(UNITS.charAt(exponent - 1));
    }

    /**
     * Byte counts as findmnt prints its SIZE, AVAIL and USED columns: powers of 1024, one decimal
     * where it is not 0, rounded to the nearest tenth through thousandths, as findmnt rounds; counts below
     * 1024 as they are.
     */
    static String findmnt(long bytes) {
        if (bytes < 1024) {
            return Long.toString(bytes);
        }
        int exponent = 10;
        while (exponent < 60 && bytes >= 1L << (exponent + 10)) {
            exponent += 10;
        }
        long whole = bytes >>> exponent;
        long tenths = bytes & ((1L << exponent) - 1);
        if (tenths != 0) {
            // Thousandths first, in unsigned arithmetic as findmnt's; then tenths, rounded.
            tenths = Long.compareUnsigned(tenths, Long.divideUnsigned(-1L, 1000)) >= 0
                    ? (tenths / 1024 * 1000) >>> (exponent - 10)
                    : Long.divideUnsigned(tenths * 1000, 1L << exponent);
            tenths = (tenths + 50) / 100;
            if (tenths == 10) {
                whole++;
                tenths = 0;
            }
        }
        char unit = UNITS.charAt(exponent / 10 - 1);
        return tenths != 0 ? whole + "." + tenths + unit : whole + String.valueOf(unit);
    }
}
