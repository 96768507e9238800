package com.zel.io.file.exception;

/**
 * Raised when the current user may not query or change the file: the system refused with, for example, EACCES.
 */
public class AccessDeniedException extends ExtendedIOException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception with the message composed by the native library.
     *
     * @param message the message, beginning with its {@code [ERRNO: nnn]} prefix
     */
    public AccessDeniedException(String message) {
        super(message);
    }
}
