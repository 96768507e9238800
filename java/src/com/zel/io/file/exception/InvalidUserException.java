package com.zel.io.file.exception;

/**
 * Raised when a file is to be given to a user that the user database does not list.
 */
public class InvalidUserException extends ExtendedIOException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception with the message composed by the native library.
     *
     * @param message the message, beginning with its {@code [ERRNO: nnn]} prefix
     */
    public InvalidUserException(String message) {
        super(message);
    }
}
