package com.zel.io.file.cli;

import com.zel.io.file.UnixNativeFile;
import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import java.util.List;

/** nativefile ln: makes a symbolic link. */
final class LnCommand extends Command {
    LnCommand() {
        super(
                "ln",
                "TARGET LINK",
                "Make a symbolic link",
                """
                Creates the symbolic link LINK holding the text TARGET, which need not name an
                existing file; a relative TARGET is relative to the link's directory. LINK is
                the link itself, never a directory to put it in. An existing LINK is an error
                and is left as it is.
                """);
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> operands = operands(options, 2, 2);
        String target = operands.get(0);
        console.forEach(
                operands.subList(1, 2),
                link -> {
                    // The library leaves an existing entry alone without a word.
                    if (exists(link)) {
                        console.fail(link, "File exists");
                    } else {
                        UnixNativeFile.createSymLink(link, target);
                    }
                });
        return console.status();
    }

    private static boolean exists(String path) throws ExtendedIOException {
        try {
            UnixNativeFile.isSymLink(path);
            return true;
        } catch (FileNotFoundException absent) {
            return false;
        }
    }
}
