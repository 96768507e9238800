package com.zel.io.file.cli;

import java.util.ArrayList;
import java.util.List;
import java.util.function.BooleanSupplier;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The MODE of chmod: one to four octal digits, which set the whole mode, or clauses such as
 * {@code u=rwx,g=rx,o=}, {@code u+s} or {@code +t}, which edit the current one.
 *
 * <p>A clause is [ugoa]* followed by one or more operators (+, - or =) each with [rwxXst]*. As in
 * chmod(1): a clause without u, g, o or a works on all classes less the bits of the umask; s
 * stands for the set-user-ID bit with u and the set-group-ID bit with g; t is the sticky bit, with
 * o or a or alone; X is execute when the file is a directory or anyone may execute it already.
 */
final class ModeChange {
    private static final Pattern OCTAL = Pattern.compile("[0-7]{1,4}");
    private static final Pattern CLAUSE = Pattern.compile("([ugoa]*)((?:[-+=][rwxXst]*)+)");
    private static final Pattern ACTION = Pattern.compile("([-+=])([rwxXst]*)");

    private record Action(int who, char operator, String permissions) {}

    private final int absolute;
    private final List<Action> actions;

    private ModeChange(int absolute, List<Action> actions) {
        this.absolute = absolute;
        this.actions = actions;
    }

    /** Tells whether an argument that begins with a dash is a mode, as "-w" and "-x,o+t" are. */
    static boolean looksLikeMode(String argument) {
        return argument.matches("-[rwxXst][-+=ugoarwxXst,]*");
    }

    /**
     * Parses a MODE.
     *
     * @throws IllegalArgumentException if the text is no mode
     */
    static ModeChange parse(String text) {
        if (OCTAL.matcher(text).matches()) {
            return new ModeChange(Integer.parseInt(text, 8), null);
        }
        List<Action> actions = new ArrayList<>();
        for (String clause : text.split(",", -1)) {
            Matcher m = CLAUSE.matcher(clause);
            if (!m.matches()) {
                throw new IllegalArgumentException(text);
            }
            int who = whoBits(m.group(1));
            Matcher action = ACTION.matcher(m.group(2));
            while (action.find()) {
                actions.add(new Action(who, action.group(1).charAt(0), action.group(2)));
            }
        }
        return new ModeChange(0, actions);
    }

    private static int whoBits(String who) {
        int bits = 0;
        for (char c : who.toCharArray()) {
            bits |= switch (c) {
                case 'u' -> 04700;
                case 'g' -> 02070;
                case 'o' -> 01007;
                default -> 07777;
            };
        }
        return bits;
    }

    /** Tells whether the change needs the file's current mode. */
    boolean editsMode() {
        return actions != null;
    }

    /**
     * Applies the change to a mode.
     *
     * @param mode the current mode (ignored for an octal MODE)
     * @param directory tells whether the file is a directory; asked only for X
     * @param umask the process's umask, which limits clauses that name no class
     * @return the new mode
     */
    int apply(int mode, BooleanSupplier directory, int umask) {
        if (actions == null) {
            return absolute;
        }
        for (Action action : actions) {
            int value = 0;
            for (char c : action.permissions().toCharArray()) {
                value |= switch (c) {
                    case 'r' -> 0444;
                    case 'w' -> 0222;
                    case 'x' -> 0111;
                    case 'X' -> (mode & 0111) != 0 || directory.getAsBoolean() ? 0111 : 0;
                    case 's' -> 06000;
                    default -> 01000;
                };
            }
            int affected = action.who() == 0 ? 07777 : action.who();
            value &= action.who() == 0 ? ~umask : action.who();
            mode = switch (action.operator()) {
                case '+' -> mode | value;
                case '-' -> mode & ~value;
                default -> mode & ~affected | value;
            };
        }
        return mode;
    }
}
