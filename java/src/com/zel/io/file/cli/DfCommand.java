package com.zel.io.file.cli;

/** nativefile df: size, free space and use of the file systems that hold the paths. */
final class DfCommand extends Command {
    DfCommand() {
        super(
                "df",
                "PATH...",
                "Show size, free space and use of the file systems that hold files",
                """
                Prints a line per path with the figures of the file system that holds it, as
                mounts does: size, free space, use in percent, and the path.

                  --json   a JSON array instead, an object per path with the keys path, size
                           and free (in bytes) and usePercent (null for an empty file system)
                """,
                "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        SpaceReport report = new SpaceReport("Path", "path");
        console.forEach(operands(options, 1, Integer.MAX_VALUE), path -> report.add(path, Space.of(path)));
        report.print(console.out, options.json());
        return console.status();
    }
}
