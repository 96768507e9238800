package com.zel.io.file.exception;

/**
 * Raised when the operating system or file system does not support the operation.
 */
public class NotSupportedException extends ExtendedIOException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception with the message composed by the native library.
     *
     * @param message the message, beginning with its {@code [ERRNO: nnn]} prefix
     */
    public NotSupportedException(String message) {
        super(message);
    }
}
