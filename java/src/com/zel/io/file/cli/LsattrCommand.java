package com.zel.io.file.cli;

import com.zel.io.file.InodeFlag;
import com.zel.io.file.InodeFlags;
import java.util.Set;

/** nativefile lsattr: the inode flags of each path, as lsattr prints them. */
final class LsattrCommand extends Command {
    LsattrCommand() {
        super(
                "lsattr",
                "PATH...",
                "Show the inode flags of files",
                """
                Prints a line per path as lsattr prints one for a file: a place per flag in
                lsattr's order, suSDiadAcEjItTeCxFNPVm, with its letter where the flag is set
                and - where not, a space and the path as given. A directory shows its own
                flags, as with lsattr -d, not those of its entries. Only regular files and
                directories have flags: any other file, a symbolic link too, is an error.

                  --json   a JSON array instead, an object per path with the keys path, flags
                           (the letters as above) and names (the set flags' names, such as
                           IMMUTABLE, in the same order)
                """,
                "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        return console.report(
                operands(options, 1, Integer.MAX_VALUE),
                options.json(),
                path -> {
                    Set<InodeFlag> flags = InodeFlags.get(path(path));
                    String letters = InodeFlags.toLetters(flags);
                    if (!options.json()) {
                        console.out.println(letters + " " + path);
                    }
                    return Json.object("path", path, "flags", letters, "names", flags.stream().map(Enum::name).toList());
                });
    }
}
