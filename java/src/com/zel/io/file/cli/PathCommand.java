package com.zel.io.file.cli;

import com.zel.io.file.UnixNativeFile;
import com.zel.io.file.exception.ExtendedIOException;

/** A command that does one thing to each of its paths: readlink and unlink. */
final class PathCommand extends Command {
    private interface Action {
        void apply(String path, Console console) throws ExtendedIOException;
    }

    private final Action action;

    private PathCommand(String name, String summary, String details, Action action) {
        super(name, "PATH...", summary, details);
        this.action = action;
    }

    static PathCommand readlink() {
        return new PathCommand(
                "readlink",
                "Print the text of symbolic links",
                """
                Prints the text stored in each link, a line per link, as it is stored: a
                relative text stays relative. A path that is no link is an error.
                """,
                (path, console) -> console.line(UnixNativeFile.getSymLinkValue(path)));
    }

    static PathCommand unlink() {
        return new PathCommand(
                "unlink",
                "Remove directory entries, such as symbolic links",
                """
                Removes each path's directory entry: a link goes and the file it points to
                stays. A path that names a file removes that file; directories are refused.
                """,
                (path, console) -> UnixNativeFile.symlinkDelete(path));
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        console.forEach(operands(options, 1, Integer.MAX_VALUE), path -> action.apply(path, console));
        return console.status();
    }
}
