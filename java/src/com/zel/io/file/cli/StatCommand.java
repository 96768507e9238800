package com.zel.io.file.cli;

import com.zel.io.file.FileModes;
import com.zel.io.file.NativeFiles;
import com.zel.io.file.UnixNativeFile;
import java.util.ArrayList;
import java.util.List;

/** nativefile stat: type, mode, owner and group of each path, and a link's text. */
final class StatCommand extends Command {
    StatCommand() {
        super(
                "stat",
                "PATH...",
                "Show the mode, owner and group of files, and the text of links",
                """
                Prints a line per path: the mode as ls -l shows it, special bits included
                (s, S, t, T), the mode in octal, the owner and the group (their ids when the
                system lists no name), the path and, for a symbolic link, "-> " and its text.
                A final symbolic link is not followed.

                  --json   a JSON array instead, an object per path with the keys path, type,
                           mode, octal, owner, group, symlink (true or false) and target (the
                           link's text, or null)
                """,
                "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> paths = operands(options, 1, Integer.MAX_VALUE);
        Table table = new Table("lrlll");
        List<String> objects = new ArrayList<>();
        console.forEach(
                paths,
                path -> {
                    boolean link = UnixNativeFile.isSymLink(path);
                    int mode = NativeFiles.getMode(path);
                    String owner = UnixNativeFile.getFileOwner(path);
                    String group = UnixNativeFile.getFileGroup(path);
                    String target = link ? UnixNativeFile.getSymLinkValue(path) : null;
                    char type = link ? 'l' : FileType.of(path);
                    String lsMode = type + FileModes.toLsString(mode);
                    String octal = Integer.toOctalString(mode);
                    objects.add(
                            Json.object(
                                    "path", path, "type", String.valueOf(type), "mode", lsMode, "octal", octal,
                                    "owner", owner, "group", group, "symlink", link, "target", target));
                    table.add(lsMode, octal, owner, group, link ? path + " -> " + target : path);
                });
        if (options.json()) {
            Json.printArray(console.out, objects);
        } else {
            table.print(console.out);
        }
        return console.status();
    }
}
