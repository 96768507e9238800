package com.zel.io.file.cli;

import com.zel.io.file.NativeFiles;
import com.zel.io.file.exception.ExtendedIOException;
import java.util.List;

/** nativefile mounts: every mount point with its size, free space and use. */
final class MountsCommand extends Command {
    MountsCommand() {
        super(
                "mounts",
                "",
                "List the mount points with their size, free space and use",
                """
                Prints a line per mount point, in the order of the system's mount table: the
                size and the free space as df -h shows them (powers of 1024), the share of the
                size not free in percent, and the mount point. Root counts the blocks reserved
                for it as free; other users do not. A mount point that cannot be measured, such
                as one hidden under a later mount, shows dashes.

                  --json   a JSON array instead, an object per mount point with the keys
                           mountPoint, size and free (in bytes) and usePercent; null where a
                           figure is missing
                """,
                "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        operands(options, 0, 0);
        List<String> mountPoints;
        try {
            mountPoints = NativeFiles.getMountPoints();
        } catch (ExtendedIOException e) {
            console.fail("mounts", e.getMessage());
            return console.status();
        }
        SpaceReport report = new SpaceReport("Mounted on", "mountPoint");
        for (String mountPoint : mountPoints) {
            report.add(mountPoint, measure(mountPoint));
        }
        report.print(console.out, options.json());
        return console.status();
    }

    private static Space measure(String mountPoint) {
        try {
            return Space.of(mountPoint);
        } catch (ExtendedIOException unmeasurable) {
            return null;
        }
    }
}
