package com.zel.io.file.cli;

import com.zel.io.file.MountEntry;
import com.zel.io.file.MountSpace;
import com.zel.io.file.Mounts;
import com.zel.io.file.exception.ExtendedIOException;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.function.Function;
import java.util.stream.Collectors;

/** nativefile mounts: every mount with its size, free space and use, or findmnt's columns. */
final class MountsCommand extends Command {
    /** A mount with its space, null where it cannot be measured. */
    private record Mount(MountEntry entry, MountSpace space) {}

    // findmnt's columns, by its names, each as findmnt -r shows it before escaping.
    private static final Map<String, Function<Mount, String>> COLUMNS = new LinkedHashMap<>();

    static {
        COLUMNS.put("TARGET", m -> m.entry.mountPoint());
        COLUMNS.put("SOURCE", m -> m.entry.sourceWithRoot());
        COLUMNS.put("FSTYPE", m -> m.entry.type());
        COLUMNS.put("OPTIONS", m -> m.entry.options());
        COLUMNS.put("VFS-OPTIONS", m -> m.entry.mountOptions());
        COLUMNS.put("FS-OPTIONS", m -> m.entry.superOptions());
        COLUMNS.put("FSROOT", m -> m.entry.root());
        COLUMNS.put("ID", m -> Integer.toString(m.entry.id()));
        COLUMNS.put("PARENT", m -> Integer.toString(m.entry.parentId()));
        COLUMNS.put("MAJ:MIN", m -> m.entry.major() + ":" + m.entry.minor());
        COLUMNS.put("PROPAGATION", m -> m.entry.propagation().stream()
                .map(p -> p.name().toLowerCase(Locale.ROOT)).collect(Collectors.joining(",")));
        COLUMNS.put("SIZE", m -> m.space == null ? "-" : HumanSize.findmnt(m.space.total()));
        COLUMNS.put("AVAIL", m -> m.space == null ? "-" : HumanSize.findmnt(m.space.available()));
        COLUMNS.put("USED", m -> m.space == null ? "-" : HumanSize.findmnt(m.space.used()));
        COLUMNS.put("USE%", m -> m.space == null || m.space.total() == 0 ? "-"
                : String.format("%.0f%%", Math.rint(100.0 * m.space.used() / m.space.total())));
    }

    MountsCommand() {
        super(
                "mounts",
                "[-o COLUMNS [-n]]",
                "List the mounts with their size, free space and use, or findmnt's columns",
                """
                Prints a line per mount, in the order of the system's mount table: the size
                and the free space as df -h shows them (powers of 1024), the share of the size
                not free in percent, and the mount point. Root counts the blocks reserved for
                it as free; other users do not. A mount hidden under a later mount shows dashes.

                  -o COLUMNS  the columns instead, as findmnt -r -o COLUMNS prints them: a
                              heading, then a line per mount, fields one space apart, in each
                              blanks, control characters, backslash and bytes outside ASCII
                              as \\xHH. COLUMNS, comma-separated: TARGET, SOURCE, FSTYPE,
                              OPTIONS, VFS-OPTIONS, FS-OPTIONS, FSROOT, ID, PARENT, MAJ:MIN,
                              PROPAGATION, SIZE, AVAIL, USED, USE% (SIZE, AVAIL and USED as
                              findmnt shows them, USE% of the size)
                  -n          with -o: no heading
                  --json      a JSON array instead, an object per mount with the keys
                              mountPoint and target (the mount point), source, fstype, options,
                              size, free and available (in bytes) and usePercent; null where a
                              figure is missing
                """,
                "--json",
                "-o",
                "-n");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        boolean columns = options.flags().contains("-o");
        List<String> operands = operands(options, columns ? 1 : 0, columns ? 1 : 0);
        List<String> names = columns ? List.of(operands.get(0).split(",")) : List.of();
        for (String name : names) {
            if (!COLUMNS.containsKey(name)) {
                throw usageError("unknown column '" + name + "'");
            }
        }
        List<Mount> mounts = new ArrayList<>();
        try {
            for (MountEntry entry : Mounts.list()) {
                mounts.add(new Mount(entry, measure(entry)));
            }
        } catch (ExtendedIOException e) {
            console.fail("mounts", e.getMessage());
            return console.status();
        }
        if (options.json()) {
            printJson(mounts, console);
        } else if (columns) {
            if (!options.flags().contains("-n")) {
                console.out.println(String.join(" ", names));
            }
            for (Mount mount : mounts) {
                console.out.println(names.stream().map(n -> MountText.raw(COLUMNS.get(n).apply(mount)))
                        .collect(Collectors.joining(" ")));
            }
        } else {
            SpaceReport report = new SpaceReport("Mounted on", "mountPoint");
            mounts.forEach(m -> report.add(m.entry.mountPoint(), m.space == null ? null : Space.of(m.space)));
            report.print(console.out, false);
        }
        return console.status();
    }

    private static void printJson(List<Mount> mounts, Console console) {
        List<String> objects = new ArrayList<>();
        for (Mount m : mounts) {
            Space space = m.space == null ? null : Space.of(m.space);
            objects.add(Json.object(
                    "mountPoint", m.entry.mountPoint(), "target", m.entry.mountPoint(),
                    "source", m.entry.source(), "fstype", m.entry.type(), "options", m.entry.options(),
                    "size", space == null ? null : space.size(), "free", space == null ? null : space.free(),
                    "available", m.space == null ? null : m.space.available(),
                    "usePercent", space == null ? null : space.usePercent()));
        }
        Json.printArray(console.out, objects);
    }

    private static MountSpace measure(MountEntry entry) {
        try {
            return Mounts.space(entry);
        } catch (ExtendedIOException unmeasurable) {
            return null;
        }
    }
}
