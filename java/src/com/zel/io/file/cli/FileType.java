package com.zel.io.file.cli;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;

/**
 * The file type letter of {@code ls -l} (d, -, l, c, b, p, s), which the native library does not
 * report, read through java.nio without following a final link.
 */
final class FileType {
    private FileType() {}

    /** The type letter, or '?' when the type cannot be read. */
    static char of(String path) {
        // With a trailing slash the system resolves a final link, and so must this read.
        LinkOption[] options = path.endsWith("/") ? new LinkOption[0] : new LinkOption[] {LinkOption.NOFOLLOW_LINKS};
        try {
            int mode = (Integer) Files.getAttribute(Path.of(path), "unix:mode", options);
            return switch (mode & 0170000) {
                case 0040000 -> 'd';
                case 0100000 -> '-';
                case 0120000 -> 'l';
                case 0020000 -> 'c';
                case 0060000 -> 'b';
                case 0010000 -> 'p';
                case 0140000 -> 's';
                default -> '?';
            };
        } catch (IOException | UnsupportedOperationException | IllegalArgumentException e) {
            return '?';
        }
    }
}
