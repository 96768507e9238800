package com.zel.io.file.cli;

import com.zel.io.file.DirectoryEntry;
import com.zel.io.file.FileTree;
import com.zel.io.file.exception.ExtendedIOException;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.Map;
import java.util.TreeMap;
import java.util.TreeSet;

/** nativefile manifest: writes an mtree(5) manifest of a tree, or checks a tree against one. */
final class ManifestCommand extends Command {
    ManifestCommand() {
        super(
                "manifest",
                "PATH | --check FILE PATH",
                "Write an mtree manifest of a tree, or check a tree against one",
                """
                Walks the tree at PATH, never following a symbolic link, and writes an
                mtree(5) manifest of it: "#mtree", then a line per file, sorted by path:
                ".", or "./" and the path below PATH, then type, mode (octal, special bits
                included), uid, gid, uname and gname (where the system lists a name), size
                (regular files), link (a link's text) and time (seconds, a dot and the
                nanoseconds as a number, unpadded, as bsdtar writes them). Paths
                and texts are written as bsdtar --format=mtree writes them: every byte that
                is no printable ASCII, a space, #, = and \\ as \\ and three octal digits.

                  --check FILE   reads the manifest FILE instead (from bsdtar too; /set and
                                 /unset lines honoured) and prints a line per difference:
                                 "./x: missing" for a file the tree lacks, "./x: extra" for
                                 one the manifest lacks, "./x: KEYWORD expected A, found B"
                                 for each of the keywords above that the manifest gives
                                 (others are not checked); exit status 1 if there is any

                A directory that cannot be read is reported; the manifest is then
                incomplete and the exit status 1.
                """,
                "--check");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        boolean check = options.flags().contains("--check");
        var operands = operands(options, check ? 2 : 1, check ? 2 : 1);
        Map<String, Map<String, String>> tree = new TreeMap<>();
        console.forEach(operands.subList(operands.size() - 1, operands.size()), path -> walk(path, tree, console));
        if (console.status() != 0) {
            return console.status();
        }
        if (!check) {
            console.out.println("#mtree");
            tree.forEach((path, values) -> console.out.println(Mtree.line(path.equals(".") ? path : "./" + path, values)));
            return 0;
        }
        Map<String, Map<String, String>> manifest;
        try {
            manifest = Mtree.read(new String(Files.readAllBytes(path(operands.get(0))), StandardCharsets.ISO_8859_1));
        } catch (IOException e) {
            console.fail(operands.get(0), e.getMessage());
            return console.status();
        }
        boolean differs = false;
        TreeSet<String> paths = new TreeSet<>(tree.keySet());
        paths.addAll(manifest.keySet());
        for (String path : paths) {
            String shown = path.equals(".") ? path : "./" + path;
            Map<String, String> expected = manifest.get(path);
            Map<String, String> found = tree.get(path);
            if (expected == null || found == null) {
                console.out.println(shown + (found == null ? ": missing" : ": extra"));
                differs = true;
                continue;
            }
            for (String keyword : Mtree.KEYWORDS) {
                if (!expected.containsKey(keyword)) {
                    continue;
                }
                String want = Mtree.normal(keyword, expected.get(keyword));
                String got = found.getOrDefault(keyword, "none");
                if (!want.equals(got)) {
                    console.out.println(shown + ": " + keyword + " expected " + want + ", found " + got);
                    differs = true;
                }
            }
        }
        return differs ? 1 : 0;
    }

    // Every file of the tree at top, by its escaped path below top.
    private static void walk(String top, Map<String, Map<String, String>> tree, Console console) throws ExtendedIOException {
        int below = top.endsWith("/") ? top.length() : top.length() + 1;
        FileTree.walk(top, new FileTree.Visitor() {
            @Override
            public FileTree.Action preVisitDirectory(String path, DirectoryEntry directory) {
                return visitFile(path, directory);
            }

            @Override
            public FileTree.Action visitFile(String path, DirectoryEntry entry) {
                tree.put(path.length() <= below ? "." : Mtree.escape(path.substring(below)), Mtree.keywords(entry));
                return FileTree.Action.CONTINUE;
            }

            @Override
            public FileTree.Action visitFailed(String path, DirectoryEntry directory, ExtendedIOException e) {
                console.fail(path, e.getMessage());
                return FileTree.Action.CONTINUE;
            }
        });
    }
}
