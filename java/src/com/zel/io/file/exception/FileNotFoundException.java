package com.zel.io.file.exception;

/**
 * Raised when the named file does not exist, a component of its path is no directory, or the path is too long.
 */
public class FileNotFoundException extends ExtendedIOException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception with the message composed by the native library.
     *
     * @param message the message, beginning with its {@code [ERRNO: nnn]} prefix
     */
    public FileNotFoundException(String message) {
        super(message);
    }
}
