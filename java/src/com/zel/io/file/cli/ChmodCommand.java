package com.zel.io.file.cli;

import com.zel.io.file.NativeFiles;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.Stream;

/** nativefile chmod: sets or edits the mode of each path, special bits included. */
final class ChmodCommand extends Command {
    ChmodCommand() {
        super(
                "chmod",
                "MODE PATH...",
                "Change the mode of files, special bits included",
                """
                MODE is one to four octal digits, which set the whole mode (4755, 1777, 640),
                or comma-separated clauses that edit it: [ugoa]* then +, - or = with [rwxXst]*,
                as in u=rwx,g=rx,o= or u+s or +t. A clause without u, g, o or a works on all
                classes less the umask; s is set-user-ID with u and set-group-ID with g; t is
                the sticky bit; X is execute for a directory or a file that anyone may execute.
                Symbolic links are left alone.
                """);
    }

    @Override
    boolean isDashOperand(String argument) {
        return ModeChange.looksLikeMode(argument);
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> operands = operands(options, 2, Integer.MAX_VALUE);
        ModeChange change;
        try {
            change = ModeChange.parse(operands.get(0));
        } catch (IllegalArgumentException e) {
            throw usageError("invalid mode '" + operands.get(0) + "'");
        }
        int umask = change.editsMode() ? umask() : 0;
        console.forEach(
                operands.subList(1, operands.size()),
                path -> {
                    int mode = change.editsMode() ? NativeFiles.getMode(path) : 0;
                    NativeFiles.setMode(path, change.apply(mode, () -> FileType.of(path) == 'd', umask));
                });
        return console.status();
    }

    // Assumed when the kernel does not tell.
    private static final int USUAL_UMASK = 022;

    // The kernel shows a process's umask in its status; reading it through
    // umask(2) would change it.
    private static int umask() {
        try (Stream<String> lines = Files.lines(Path.of("/proc/self/status"))) {
            return lines.filter(line -> line.startsWith("Umask:"))
                    .findFirst()
                    .map(line -> Integer.parseInt(line.substring("Umask:".length()).trim(), 8))
                    .orElse(USUAL_UMASK);
        } catch (IOException | UncheckedIOException | NumberFormatException e) {
            return USUAL_UMASK;
        }
    }
}
