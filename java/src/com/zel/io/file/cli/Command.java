package com.zel.io.file.cli;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

/** One subcommand of nativefile: its name, its help and its work. */
abstract class Command {
    private final String name;
    private final String operands;
    private final String summary;
    private final String details;
    private final List<String> flags;

    /**
     * @param operands the operands as the usage line shows them, e.g. "MODE PATH..."
     * @param summary one line for the command list and the top of the help
     * @param details the rest of the help, ending with a line feed
     * @param flags the options the command takes besides --help
     */
    Command(String name, String operands, String summary, String details, String... flags) {
        this.name = name;
        this.operands = operands;
        this.summary = summary;
        this.details = details;
        this.flags = List.of(flags);
    }

    final String name() {
        return name;
    }

    final String summary() {
        return summary;
    }

    final String help() {
        StringBuilder usage = new StringBuilder("Usage: nativefile ").append(name);
        // A flag that the operands already show in place (-m ACL, -r) is not listed again.
        List<String> shown = List.of(operands.split("[^-\\w]+"));
        flags.stream().filter(flag -> !shown.contains(flag))
                .forEach(flag -> usage.append(" [").append(flag).append(']'));
        return usage.append(' ').append(operands).append('\n').append(summary).append(".\n\n").append(details)
                .toString();
    }

    /** Runs the command on its parsed arguments and returns the exit status. */
    abstract int run(Options options, Console console) throws UsageException;

    /** Tells whether an argument that begins with a dash is an operand all the same. */
    boolean isDashOperand(String argument) {
        return false;
    }

    final Options parse(List<String> arguments) throws UsageException {
        boolean help = false;
        boolean optionsEnded = false;
        Set<String> given = new HashSet<>();
        List<String> rest = new ArrayList<>();
        for (String argument : arguments) {
            if (optionsEnded || !argument.startsWith("-") || argument.equals("-")) {
                rest.add(argument);
            } else if (argument.equals("--")) {
                optionsEnded = true;
            } else if (argument.equals("--help")) {
                help = true;
            } else if (isDashOperand(argument)) {
                rest.add(argument);
            } else if (flags.contains(argument)) {
                given.add(argument);
            } else if (argument.matches("-[a-zA-Z]{2,}")
                    && argument.chars().skip(1).allMatch(letter -> flags.contains("-" + (char) letter))) {
                argument.chars().skip(1).forEach(letter -> given.add("-" + (char) letter));
            } else {
                throw usageError("unknown option '" + argument + "'");
            }
        }
        return new Options(help, given, rest);
    }

    final UsageException usageError(String message) {
        return new UsageException(this, message);
    }

    /** A path operand as the API takes it; one that the platform's encoding can't hold fails. */
    static Path path(String operand) throws ExtendedIOException {
        try {
            return Path.of(operand);
        } catch (InvalidPathException e) {
            throw new ExtendedIOException(e.getReason());
        }
    }

    /** The operands, which must be at least min and at most max in number. */
    final List<String> operands(Options options, int min, int max) throws UsageException {
        List<String> operands = options.operands();
        if (operands.size() < min) {
            throw usageError(operands.isEmpty() ? "missing operand" : "missing operand after '" + operands.get(operands.size() - 1) + "'");
        }
        if (operands.size() > max) {
            throw usageError("extra operand '" + operands.get(max) + "'");
        }
        return operands;
    }
}
