package com.zel.io.file.cli;

import static java.nio.charset.StandardCharsets.ISO_8859_1;

import com.zel.io.file.MountEntry;
import com.zel.io.file.MountSpace;
import com.zel.io.file.Mounts;
import java.util.ArrayList;
import java.util.List;

/** nativefile df: the file systems that hold the paths, as df -h shows them, or their inodes. */
final class DfCommand extends Command {
    DfCommand() {
        super(
                "df",
                "PATH...",
                "Show the file systems that hold files, with their size, use and mount point",
                """
                Prints what df -h PATH... prints: a line per path with the source of the
                file system that holds it, its size, the bytes used and available to an
                unprivileged user (powers of 1024), the use in percent of used and available
                (rounded up), and the mount point through which the path reaches the file,
                exact under bind mounts and overmounts. A final symbolic link is not
                followed. Control characters in texts show as ?, as df shows them.

                  -i       the inodes instead: their number, those used and free, and the use
                  --json   a JSON array instead, an object per path with the keys path, source,
                           target (the mount point), size, free (to the caller: root counts the
                           blocks reserved for it), available, in bytes, and usePercent (of the
                           size not free; null for an empty file system); with -i the keys path,
                           source, target, inodes, iused, ifree and iusePercent
                """,
                "--json",
                "-i");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        boolean inodes = options.flags().contains("-i");
        Table table = new Table("lrrrrl");
        table.add(inodes ? new String[] {"Filesystem", "Inodes", "IUsed", "IFree", "IUse%", "Mounted on"}
                : new String[] {"Filesystem", "Size", "Used", "Avail", "Use%", "Mounted on"});
        List<String> objects = new ArrayList<>();
        console.forEach(operands(options, 1, Integer.MAX_VALUE), path -> {
            MountEntry mount = Mounts.mountOf(path(path));
            MountSpace s = Mounts.space(path(path));
            long iused = s.inodes() - s.freeInodes();
            Integer use = inodes ? Space.percent(iused, s.inodes()) : Space.percent(s.used(), s.used() + s.available());
            if (inodes) {
                objects.add(Json.object("path", path, "source", mount.source(), "target", mount.mountPoint(),
                        "inodes", s.inodes(), "iused", iused, "ifree", s.freeInodes(), "iusePercent", use));
                table.add(text(mount.source()), Long.toString(s.inodes()), Long.toString(iused),
                        Long.toString(s.freeInodes()), use == null ? "-" : use + "%", text(mount.mountPoint()));
            } else {
                Space space = Space.of(s);
                objects.add(Json.object("path", path, "source", mount.source(), "target", mount.mountPoint(),
                        "size", s.total(), "free", space.free(), "available", s.available(),
                        "usePercent", space.usePercent()));
                table.add(text(mount.source()), HumanSize.format(s.total()), HumanSize.format(s.used()),
                        HumanSize.format(s.available()), use == null ? "-" : use + "%", text(mount.mountPoint()));
            }
        });
        if (options.json()) {
            Json.printArray(console.out, objects);
        } else if (!objects.isEmpty()) {
            // A cell holds a text's bytes one char each, so that they go out as they are.
            for (String line : table.lines()) {
                console.out.writeBytes(line.getBytes(ISO_8859_1));
                console.out.write('\n');
            }
        }
        return console.status();
    }

    private static String text(String text) {
        return new String(MountText.df(text), ISO_8859_1);
    }
}
