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
}
