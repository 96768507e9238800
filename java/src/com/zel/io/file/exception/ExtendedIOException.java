package com.zel.io.file.exception;

import java.io.IOException;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The base of every exception that the native file library raises, and itself the exception for
 * a system error that no narrower class describes.
 *
 * <p>Every message begins with the system's error number, as in {@code [ERRNO: 013] MSG: ...};
 * {@link #getErrno()} returns that number. Failures that have no system error number (a null
 * argument, an unknown user) carry 0.
 */
public class ExtendedIOException extends IOException {
    private static final long serialVersionUID = 1L;
    private static final Pattern ERRNO = Pattern.compile("^\\[ERRNO: (-?\\d+)\\]");

    /**
     * Creates the exception with the message composed by the native library.
     *
     * @param message the message, beginning with its {@code [ERRNO: nnn]} prefix
     */
    public ExtendedIOException(String message) {
        super(message);
    }

    /**
     * Returns the system error number ({@code errno}) that the message carries.
     *
     * @return the number of the message's {@code [ERRNO: nnn]} prefix, or 0 when the message has
     *     no such prefix
     */
    public int getErrno() {
        String message = getMessage();
        if (message == null) {
            return 0;
        }
        Matcher m = ERRNO.matcher(message);
        if (!m.find()) {
            return 0;
        }
        try {
            return Integer.parseInt(m.group(1));
        } catch (NumberFormatException e) {
            return 0;
        }
    }
}
