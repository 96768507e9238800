package com.zel.io.file.cli;

/** A command line that cannot be run as given; the command exits with status 2. */
final class UsageException extends Exception {
    private static final long serialVersionUID = 1L;

    /** The command whose usage was broken, or null for the command line itself. */
    final transient Command command;

    UsageException(Command command, String message) {
        super(message);
        this.command = command;
    }
}
