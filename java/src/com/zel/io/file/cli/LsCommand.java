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
import java.util.Collections;
import java.util.List;
import java.util.Locale;
import java.util.HashMap;
import java.util.Map;
import java.util.TreeMap;

/** nativefile ls: the entries of directories, a whole directory read in one native call. */
final class LsCommand extends Command {
    private static final DateTimeFormatter RECENT = DateTimeFormatter.ofPattern("MMM ppd HH:mm", Locale.ENGLISH);
    private static final DateTimeFormatter OLD = DateTimeFormatter.ofPattern("MMM ppd  yyyy", Locale.ENGLISH);
    // ls -l shows the time of day for files changed within about half a year.
    private static final long HALF_YEAR_SECONDS = 31_556_952L / 2;

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
                           where the system lists no name), the size, the modification time
                           (the time of day within half a year, else the year) and the name,
                           for a link "-> " and its text; there is no "total" line
                  -R       each directory's subdirectories too, depth first; one that cannot
                           be read is reported and the rest listed
                  --json   a JSON array instead, an object per entry with the keys path, type
                           (ls's letter), mode (as ls -l), octal, links, uid, gid, owner and
                           group (null where the system lists no name), size, mtimeNanos,
                           inode, device and target (the link's text, or null)
                """,
                "-l", "-R", "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> paths = operands(options, 1, Integer.MAX_VALUE);
        Listing listing = new Listing(options, console, paths.size() > 1 || options.flags().contains("-R"));
        // As ls does: the paths that are no directories first, together, then each directory,
        // both sorted.
        Map<String, DirectoryEntry> files = new TreeMap<>();
        List<String> directories = new ArrayList<>();
        console.forEach(paths, path -> {
            DirectoryEntry entry = DirectoryScan.read(path);
            if (entry.isDirectory()) {
                directories.add(path);
            } else {
                files.put(path, entry);
            }
        });
        if (!files.isEmpty()) {
            listing.print(null, files);
        }
        Collections.sort(directories);
        console.forEach(directories, path -> listing.list(path, options.flags().contains("-R")));
        listing.end();
        return console.status();
    }

    /** A directory's entries, and the lists of its subdirectories, for -R. */
    private record Node(String path, Map<String, DirectoryEntry> entries, Map<String, Node> subdirectories) {
        Node(String path) {
            this(path, new TreeMap<>(), new HashMap<>());
        }
    }

    /** What ls prints, one directory after another. */
    private static final class Listing {
        private final Options options;
        private final Console console;
        private final boolean headers;
        private final long now = Instant.now().getEpochSecond();
        private final List<String> objects = new ArrayList<>();
        private boolean first = true;

        Listing(Options options, Console console, boolean headers) {
            this.options = options;
            this.console = console;
            this.headers = headers;
        }

        void list(String path, boolean recursive) throws ExtendedIOException {
            if (!recursive) {
                print(path, sorted(DirectoryScan.scan(path)));
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
            print(node.path, node.entries);
            for (String name : node.entries.keySet()) {
                Node subdirectory = node.subdirectories.get(name);
                if (subdirectory != null) {
                    printTree(subdirectory);
                }
            }
        }

        private static Map<String, DirectoryEntry> sorted(List<DirectoryEntry> entries) {
            Map<String, DirectoryEntry> byName = new TreeMap<>();
            entries.forEach(entry -> byName.put(entry.name(), entry));
            return byName;
        }

        // One directory's list (directory null: paths named on the command line).
        void print(String directory, Map<String, DirectoryEntry> entries) {
            String prefix = directory == null ? "" : directory.endsWith("/") ? directory : directory + "/";
            Table table = new Table("lrllrll");
            for (DirectoryEntry entry : entries.values()) {
                String name = entry.name();
                String mode = entry.type().letter() + FileModes.toLsString(entry.mode());
                objects.add(Json.object("path", prefix + name, "type", String.valueOf(entry.type().letter()), "mode", mode,
                        "octal", Integer.toOctalString(entry.mode()), "links", entry.links(), "uid", entry.uid(),
                        "gid", entry.gid(), "owner", entry.owner(), "group", entry.group(), "size", entry.size(),
                        "mtimeNanos", entry.modifiedNanos(), "inode", entry.inode(), "device", entry.device(),
                        "target", entry.linkTarget()));
                String shown = entry.linkTarget() == null ? name : name + " -> " + entry.linkTarget();
                table.add(mode, Long.toString(entry.links()), orId(entry.owner(), entry.uid()),
                        orId(entry.group(), entry.gid()), Long.toString(entry.size()), date(entry.modifiedNanos()), shown);
            }
            if (options.json()) {
                return;
            }
            if (!first && directory != null) {
                console.out.println();
            }
            first = false;
            if (headers && directory != null) {
                console.out.println(directory + ":");
            }
            if (options.flags().contains("-l")) {
                table.print(console.out);
            } else {
                entries.keySet().forEach(console.out::println);
            }
        }

        private static String orId(String name, long id) {
            return name != null ? name : Long.toString(id);
        }

        private String date(long nanos) {
            long seconds = Math.floorDiv(nanos, 1_000_000_000L);
            ZonedDateTime time = Instant.ofEpochSecond(seconds).atZone(ZoneId.systemDefault());
            return (seconds <= now && now - seconds < HALF_YEAR_SECONDS ? RECENT : OLD).format(time);
        }

        void end() {
            if (options.json()) {
                Json.printArray(console.out, objects);
            }
        }
    }
}
