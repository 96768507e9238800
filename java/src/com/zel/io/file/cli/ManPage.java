package com.zel.io.file.cli;

import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * Writes the manual page nativefile(1) from the very help texts that {@code nativefile --help}
 * and {@code nativefile COMMAND --help} print, so that the two cannot disagree. The build runs it
 * once the classes are compiled; no roff tool is needed for that.
 */
public final class ManPage {
    private ManPage() {}

    /**
     * Writes the page.
     *
     * @param args the file to write, nativefile.1
     * @throws IOException if the file cannot be written
     */
    public static void main(String[] args) throws IOException {
        if (args.length != 1) {
            throw new IllegalArgumentException("usage: ManPage FILE");
        }
        Files.writeString(Path.of(args[0]), render(), UTF_8);
    }

    static String render() {
        StringBuilder page =
                new StringBuilder(".TH NATIVEFILE 1 \"\" libNativeFile \"User Commands\"\n")
                        .append(".SH NAME\nnativefile \\- show and change the Unix attributes of files through libNativeFile\n")
                        .append(".SH DESCRIPTION\n")
                        .append(verbatim(Main.help()))
                        .append(".SH COMMANDS\n");
        for (Command command : Main.COMMANDS) {
            page.append(".SS ").append(command.name()).append('\n').append(verbatim(command.help()));
        }
        return page.toString();
    }

    // Unfilled and escaped, the page shows each help text as the terminal does: roff would read
    // its escape character and a leading control character, and would typeset hyphens and quotes.
    private static String verbatim(String text) {
        StringBuilder block = new StringBuilder(".nf\n");
        text.lines().forEach(line -> block.append(line.isEmpty() ? ".sp" : "\\&" + escape(line)).append('\n'));
        return block.append(".fi\n").toString();
    }

    private static String escape(String line) {
        return line.replace("\\", "\\e").replace("-", "\\-").replace("'", "\\(aq").replace("`", "\\(ga");
    }
}
