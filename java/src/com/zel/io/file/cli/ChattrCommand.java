package com.zel.io.file.cli;

import com.zel.io.file.InodeFlag;
import com.zel.io.file.InodeFlags;
import java.nio.file.Path;
import java.util.Collections;
import java.util.EnumSet;
import java.util.List;
import java.util.Set;

/** nativefile chattr: adds, removes or sets inode flags, as chattr does. */
final class ChattrCommand extends Command {
    // chattr refuses these letters, since only the system sets them; e it takes.
    private static final Set<InodeFlag> SYSTEM_ONLY =
            EnumSet.of(InodeFlag.ENCRYPTED, InodeFlag.INDEXED, InodeFlag.INLINE_DATA, InodeFlag.VERITY);

    ChattrCommand() {
        super(
                "chattr",
                "(+|-|=)FLAGS... PATH...",
                "Change the inode flags of files",
                """
                Each clause is +, - or = and flag letters, as lsattr shows them: + adds the
                flags, - removes them, = makes them the only ones (flags that only the system
                sets, such as e, stay as they are). Clauses go in arguments of their own, as
                in +i -a; = goes with no + or -, and no letter may be both added and removed.
                The letters are aAcCdDeFijmPsStTux; i and a need root, and D on a file that
                is no directory is an error (chattr passes over it). The file's flags change
                in one change, whatever the clauses.

                Only regular files and directories have flags: any other file, a symbolic
                link too, is an error, and a link is never followed. A path that begins with
                +, - or = is written ./+name.
                """);
    }

    @Override
    boolean isDashOperand(String argument) {
        return !argument.startsWith("--");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> operands = operands(options, 2, Integer.MAX_VALUE);
        int count = 0;
        while (count < operands.size() && isClause(operands.get(count))) {
            count++;
        }
        if (count == 0) {
            throw usageError("invalid flags '" + operands.get(0) + "': no +, - or =");
        }
        operands(options, count + 1, Integer.MAX_VALUE);
        List<String> clauses = operands.subList(0, count);
        Set<InodeFlag> added = flags(clauses, "+=");
        Set<InodeFlag> removed = flags(clauses, "-");
        boolean assign = clauses.stream().anyMatch(clause -> clause.startsWith("="));
        if (assign && !clauses.stream().allMatch(clause -> clause.startsWith("="))) {
            throw usageError("= goes with no + or -");
        }
        if (!Collections.disjoint(added, removed)) {
            throw usageError("a flag both added and removed");
        }
        console.forEach(
                operands.subList(count, operands.size()),
                path -> {
                    Path file = path(path);
                    if (assign) {
                        InodeFlags.set(file, added);
                    } else {
                        InodeFlags.change(file, added, removed);
                    }
                });
        return console.status();
    }

    private static boolean isClause(String operand) {
        return !operand.isEmpty() && "+-=".indexOf(operand.charAt(0)) >= 0;
    }

    /** The flags of the clauses whose operator is one of the given ones. */
    private Set<InodeFlag> flags(List<String> clauses, String operators) throws UsageException {
        Set<InodeFlag> flags = EnumSet.noneOf(InodeFlag.class);
        for (String clause : clauses) {
            if (operators.indexOf(clause.charAt(0)) < 0) {
                continue;
            }
            try {
                flags.addAll(InodeFlags.fromLetters(clause.substring(1)));
            } catch (IllegalArgumentException unknown) {
                throw usageError("invalid flags '" + clause + "'");
            }
            if (!Collections.disjoint(flags, SYSTEM_ONLY)) {
                throw usageError("invalid flags '" + clause + "'");
            }
        }
        return flags;
    }
}
