package com.zel.io.file.cli;

import com.zel.io.file.DirectoryEntry;
import com.zel.io.file.DirectoryScan;
import com.zel.io.file.FileModes;
import com.zel.io.file.FileTree;
import com.zel.io.file.exception.ExtendedIOException;
import java.time.Instant;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.TreeMap;

/** nativefile ls: the entries of directories, a whole directory read in one native call. */
final class LsCommand extends Command {
    private static final DateTimeFormatter RECENT = DateTimeFormatter.ofPattern("MMM ppd HH:mm", Locale.ENGLISH);
    private static final DateTimeFormatter OLD = DateTimeFormatter.ofPattern("MMM ppd  yyyy", Locale.ENGLISH);
    // ls -l shows the time of day for files changed within half an average Gregorian year.
    private static final long HALF_YEAR_NANOS = 31_556_952L / 2 * 1_000_000_000L;
    // ls in the C.UTF-8 locale sorts names by their bytes.
    private static final Comparator<String> BYTE_ORDER = LsCommand::compareBytes;

    LsCommand() {
        super(
                "ls",
                "PATH...",
                "List directories, each read in one native call",
                """
                Lists the entries of each directory, sorted by name ('.' and '..' left out),
                and names any other path as given; a symbolic link is never followed. With
                more than one path, or with -R, each directory's list opens with its path and
                a colon, and the lists are set apart by an empty line.

                  -l       a line per entry as ls -l prints it: the type and mode (special
                           bits as s, S, t, T), the link count, owner and group (their ids
                           where the system lists no name), the size (for a device its major
                           and minor numbers), the modification time (the time of day within
                           half a year, else the year) and the name, for a link "-> " and its
                           text; each directory's list opens with "total" and the space its
                           entries take, in KiB
                  -R       each directory's subdirectories too, depth first; one that cannot
                           be read is reported and the rest listed
                  --json   a JSON array instead, an object per entry with the keys path, type
                           (ls's letter), mode (as ls -l), octal, links, uid, gid, owner and
                           group (null where the system lists no name), size, blocks (of
                           512 bytes), mtimeNanos, inode, device, major and minor (a device
                           file's numbers, or null) and target (the link's text, or null)
                """,
                "-l", "-R", "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> paths = operands(options, 1, Integer.MAX_VALUE);
        Listing listing = new Listing(options, console, paths.size() > 1 || options.flags().contains("-R"));
        // As ls does: the paths that are no directories first, together, then each directory,
        // both sorted.
        Map<String, DirectoryEntry> files = new TreeMap<>(BYTE_ORDER);
        List<DirectoryEntry> directories = new ArrayList<>();
        console.forEach(paths, path -> {
            DirectoryEntry entry = DirectoryScan.read(path);
            if (entry.isDirectory()) {
                directories.add(entry);
            } else {
                files.put(path, entry);
            }
        });
        if (!files.isEmpty()) {
            // ls sizes these columns by every path it was given, the directories included.
            listing.print(null, files, directories);
        }
        List<String> listed = directories.stream().map(DirectoryEntry::name).sorted(BYTE_ORDER).toList();
        console.forEach(listed, path -> listing.list(path, options.flags().contains("-R")));
        listing.end();
        return console.status();
    }

    /** A directory's entries, and the lists of its subdirectories, for -R. */
    private record Node(String path, Map<String, DirectoryEntry> entries, Map<String, Node> subdirectories) {
        Node(String path) {
            this(path, new TreeMap<>(BYTE_ORDER), new HashMap<>());
        }
    }

    /** What ls prints, one directory after another. */
    private static final class Listing {
        private final Options options;
        private final Console console;
        private final boolean headers;
        private long now = nanos(Instant.now());
        private final List<String> objects = new ArrayList<>();
        private boolean first = true;

        Listing(Options options, Console console, boolean headers) {
            this.options = options;
            this.console = console;
            this.headers = headers;
        }

        void list(String path, boolean recursive) throws ExtendedIOException {
            if (!recursive) {
                print(path, sorted(DirectoryScan.scan(path)), List.of());
                return;
            }
            // The walk goes in the file system's order; ls -R prints in name order, a
            // directory's list before those of its subdirectories.
            List<Node> open = new ArrayList<>();
            Node[] top = new Node[1];
            FileTree.walk(path, new FileTree.Visitor() {
                @Override
                public FileTree.Action preVisitDirectory(String directory, DirectoryEntry entry) {
                    Node node = new Node(directory);
                    if (open.isEmpty()) {
                        top[0] = node;
                    } else {
                        visitFile(directory, entry);
                        open.get(open.size() - 1).subdirectories.put(entry.name(), node);
                    }
                    open.add(node);
                    return FileTree.Action.CONTINUE;
                }

                @Override
                public FileTree.Action visitFile(String file, DirectoryEntry entry) {
                    open.get(open.size() - 1).entries.put(entry.name(), entry);
                    return FileTree.Action.CONTINUE;
                }

                @Override
                public FileTree.Action visitFailed(String directory, DirectoryEntry entry, ExtendedIOException e) {
                    open.remove(open.size() - 1);
                    if (open.isEmpty()) {
                        top[0] = null;
                    } else {
                        open.get(open.size() - 1).subdirectories.remove(entry.name());
                    }
                    console.fail(directory, e.getMessage());
                    return FileTree.Action.CONTINUE;
                }

                @Override
                public FileTree.Action postVisitDirectory(String directory, DirectoryEntry entry) {
                    open.remove(open.size() - 1);
                    return FileTree.Action.CONTINUE;
                }
            });
            if (top[0] != null) {
                printTree(top[0]);
            }
        }

        private void printTree(Node node) {
            print(node.path, node.entries, List.of());
            for (String name : node.entries.keySet()) {
                Node subdirectory = node.subdirectories.get(name);
                if (subdirectory != null) {
                    printTree(subdirectory);
                }
            }
        }

        private static Map<String, DirectoryEntry> sorted(List<DirectoryEntry> entries) {
            Map<String, DirectoryEntry> byName = new TreeMap<>(BYTE_ORDER);
            entries.forEach(entry -> byName.put(entry.name(), entry));
            return byName;
        }

        // One directory's list (directory null: paths named on the command line), its columns as
        // wide as ls makes them for these entries and the measured ones, which are not printed.
        void print(String directory, Map<String, DirectoryEntry> entries, List<DirectoryEntry> measured) {
            String prefix = directory == null ? "" : directory.endsWith("/") ? directory : directory + "/";
            long blocks = 0;
            int ownerWidth = 0;
            int groupWidth = 0;
            int majorWidth = 0;
            int minorWidth = 0;
            for (DirectoryEntry entry : entries.values()) {
                boolean device = isDevice(entry);
                objects.add(Json.object("path", prefix + entry.name(), "type", String.valueOf(entry.type().letter()),
                        "mode", mode(entry), "octal", Integer.toOctalString(entry.mode()), "links", entry.links(),
                        "uid", entry.uid(), "gid", entry.gid(), "owner", entry.owner(), "group", entry.group(),
                        "size", entry.size(), "blocks", entry.blocks(), "mtimeNanos", entry.modifiedNanos(),
                        "inode", entry.inode(), "device", entry.device(), "major", device ? entry.major() : null,
                        "minor", device ? entry.minor() : null, "target", entry.linkTarget()));
                blocks += entry.blocks();
            }
            List<DirectoryEntry> rows = new ArrayList<>(entries.values());
            rows.addAll(measured);
            for (DirectoryEntry entry : rows) {
                ownerWidth = Math.max(ownerWidth, width(orId(entry.owner(), entry.uid())));
                groupWidth = Math.max(groupWidth, width(orId(entry.group(), entry.gid())));
                if (isDevice(entry)) {
                    majorWidth = Math.max(majorWidth, Long.toString(entry.major()).length());
                    minorWidth = Math.max(minorWidth, Long.toString(entry.minor()).length());
                }
            }
            if (options.json()) {
                return;
            }
            if (!first && directory != null) {
                console.line("");
            }
            first = false;
            if (headers && directory != null) {
                console.line(directory + ":");
            }
            if (!options.flags().contains("-l")) {
                entries.keySet().forEach(console::line);
                return;
            }
            if (directory != null) {
                // st_blocks counts 512-byte units; ls rounds the KiB up.
                console.line("total " + (blocks + 1) / 2);
            }
            // Owner and group names align left, the ids ls shows in their place right.
            Table table = new Table("lrllrll");
            for (DirectoryEntry entry : rows) {
                String size = isDevice(entry)
                        ? padded(entry.major(), majorWidth) + ", " + padded(entry.minor(), minorWidth)
                        : Long.toString(entry.size());
                String shown = entry.linkTarget() == null ? entry.name() : entry.name() + " -> " + entry.linkTarget();
                table.add(mode(entry), Long.toString(entry.links()), ownerCell(entry.owner(), entry.uid(), ownerWidth),
                        ownerCell(entry.group(), entry.gid(), groupWidth), size, date(entry.modifiedNanos()), shown);
            }
            table.lines().subList(0, entries.size()).forEach(console::line);
        }

        private static String mode(DirectoryEntry entry) {
            return entry.type().letter() + FileModes.toLsString(entry.mode());
        }

        private static boolean isDevice(DirectoryEntry entry) {
            return entry.type() == DirectoryEntry.Type.BLOCK_DEVICE || entry.type() == DirectoryEntry.Type.CHARACTER_DEVICE;
        }

        private static String orId(String name, long id) {
            return name != null ? name : Long.toString(id);
        }

        private static String ownerCell(String name, long id, int width) {
            return name != null ? name : padded(id, width);
        }

        private static String padded(long number, int width) {
            String digits = Long.toString(number);
            return " ".repeat(width - digits.length()) + digits;
        }

        private static int width(String cell) {
            return cell.codePointCount(0, cell.length());
        }

        // As ls: the time of day for a time within the last half year, else the year; a time
        // ahead of the clock is read again, since the file may have changed since the start.
        private String date(long nanos) {
            if (nanos > now) {
                now = nanos(Instant.now());
            }
            ZonedDateTime time = Instant.ofEpochSecond(Math.floorDiv(nanos, 1_000_000_000L)).atZone(ZoneId.systemDefault());
            return (nanos <= now && now - HALF_YEAR_NANOS < nanos ? RECENT : OLD).format(time);
        }

        private static long nanos(Instant instant) {
            return instant.getEpochSecond() * 1_000_000_000L + instant.getNano();
        }

        void end() {
            if (options.json()) {
                Json.printArray(console.out, objects);
            }
        }
    }

    // The order of the names' bytes (see Console#bytes); a name's bytes are made only where two
    // names first differ outside ASCII.
    private static int compareBytes(String a, String b) {
        int common = Math.min(a.length(), b.length());
        for (int i = 0; i < common; i++) {
            char x = a.charAt(i);
            char y = b.charAt(i);
            if (x != y) {
                return x < 0x80 && y < 0x80 ? x - y : Arrays.compareUnsigned(Console.bytes(a), Console.bytes(b));
            }
        }
        return a.length() - b.length();
    }
}
