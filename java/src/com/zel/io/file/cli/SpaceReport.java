package com.zel.io.file.cli;

import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;

/**
 * The figures of mounts and df: a table of size, free space and use, or JSON. A place that could
 * not be measured shows dashes (nulls in JSON); with no place at all there is no table.
 */
final class SpaceReport {
    private final String key;
    private final Table table = new Table("rrrl");
    private final List<String> objects = new ArrayList<>();

    /**
     * @param header the heading of the column that names each place
     * @param key the JSON key of that name
     */
    SpaceReport(String header, String key) {
        this.key = key;
        table.add("Size", "Free", "Use%", header);
    }

    /** Adds a place with its figures, or null when it could not be measured. */
    void add(String place, Space space) {
        Long size = space == null ? null : space.size();
        Long free = space == null ? null : space.free();
        Integer use = space == null ? null : space.usePercent();
        objects.add(Json.object(key, place, "size", size, "free", free, "usePercent", use));
        table.add(
                size == null ? "-" : HumanSize.format(size),
                free == null ? "-" : HumanSize.format(free),
                use == null ? "-" : use + "%",
                place);
    }

    void print(PrintStream out, boolean json) {
        if (json) {
            Json.printArray(out, objects);
        } else if (!objects.isEmpty()) {
            table.print(out);
        }
    }
}
