package com.zel.io.file;

import com.zel.io.file.DirectoryScan.Directory;
import com.zel.io.file.DirectoryScan.Names;
import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Deque;
import java.util.List;

/**
 * Walks a tree depth first, each directory read in one call as {@link DirectoryScan} reads it,
 * never following a symbolic link.
 *
 * <p>Each directory is opened relative to its parent's open descriptor, without following a link
 * and only if it is still the directory its parent's scan saw; so a directory swapped for a link
 * or for another directory during the walk is never entered (the visitor hears of it through
 * {@link Visitor#visitFailed}), and no depth is limited by PATH_MAX, since no file is named by its
 * whole path. The walk holds one descriptor per level of the directory it is in, and closes every
 * one before it returns, also when the visitor throws. Owner and group names are looked up once
 * per id per walk.
 *
 * <p>The visitor gets each entry with its path: the start as given, then a slash and each name.
 * Paths are texts in the library's rules (see {@link DirectoryEntry#name}), which every method of
 * the library that takes a String accepts; {@code Path.of} accepts every one whose names are valid
 * UTF-8.
 */
public final class FileTree {
    private FileTree() {}

    /** What the walk does after a visitor's call. */
    public enum Action {
        /** Go on. */
        CONTINUE,
        /** Go on, but not into the directory just given to preVisitDirectory. */
        SKIP_SUBTREE,
        /** End the walk now. */
        TERMINATE
    }

    /** What the walk calls for each file. */
    public interface Visitor {
        /**
         * Called for a directory before its entries; the walk enters it only on CONTINUE.
         *
         * @param path the directory's path
         * @param directory its entry
         * @return what the walk does next
         */
        default Action preVisitDirectory(String path, DirectoryEntry directory) {
            return Action.CONTINUE;
        }

        /**
         * Called for every entry that is not a directory, a symbolic link to one included.
         *
         * @param path the entry's path
         * @param entry the entry
         * @return what the walk does next
         */
        Action visitFile(String path, DirectoryEntry entry);

        /**
         * Called for a directory that cannot be entered or read, such as one the caller may not
         * read or one replaced since its parent was read; the walk goes on.
         *
         * @param path the directory's path
         * @param directory its entry, as its parent's scan saw it
         * @param failure why it cannot be read
         * @return what the walk does next (SKIP_SUBTREE as CONTINUE)
         */
        default Action visitFailed(String path, DirectoryEntry directory, ExtendedIOException failure) {
            return Action.CONTINUE;
        }

        /**
         * Called for a directory after all its entries.
         *
         * @param path the directory's path
         * @param directory its entry
         * @return what the walk does next (SKIP_SUBTREE as CONTINUE)
         */
        default Action postVisitDirectory(String path, DirectoryEntry directory) {
            return Action.CONTINUE;
        }
    }

    // A directory being walked: its open descriptor, its entries and the next one to visit.
    private record Level(String prefix, String path, DirectoryEntry entry, Directory directory, List<DirectoryEntry> entries, int[] next) {}

    /**
     * Walks the tree at start. A start that is not a directory, a symbolic link included, is given
     * to {@link Visitor#visitFile} alone.
     *
     * @param start the tree's top
     * @param visitor what is called for each file
     * @throws ExtendedIOException when start cannot be read, as {@link DirectoryScan#read(String)}
     *     raises it; a directory below it that cannot be read goes to the visitor instead
     */
    public static void walk(String start, Visitor visitor) throws ExtendedIOException {
        Names names = new Names();
        DirectoryEntry top = DirectoryScan.read(start, names);
        if (!top.isDirectory()) {
            visitor.visitFile(start, top);
            return;
        }
        Deque<Level> levels = new ArrayDeque<>();
        try {
            if (enter(levels, start, start, top, visitor, names) == Action.TERMINATE) {
                return;
            }
            while (!levels.isEmpty()) {
                Level level = levels.peek();
                if (level.next[0] == level.entries.size()) {
                    levels.pop().directory.close();
                    if (visitor.postVisitDirectory(level.path, level.entry) == Action.TERMINATE) {
                        return;
                    }
                    continue;
                }
                DirectoryEntry entry = level.entries.get(level.next[0]++);
                String path = level.prefix + entry.name();
                Action action = entry.isDirectory()
                        ? enter(levels, path, entry.name(), entry, visitor, names)
                        : visitor.visitFile(path, entry);
                if (action == Action.TERMINATE) {
                    return;
                }
            }
        } finally {
            levels.forEach(level -> level.directory.close());
        }
    }

    /**
     * Walks the tree at start, as {@link #walk(String, Visitor)} does.
     *
     * @param start the tree's top
     * @param visitor what is called for each file
     * @throws ExtendedIOException as {@link #walk(String, Visitor)} raises it
     */
    public static void walk(Path start, Visitor visitor) throws ExtendedIOException {
        walk(NativeFiles.text(start), visitor);
    }

    // Offers a directory to the visitor and, on CONTINUE, opens and reads it onto the levels.
    private static Action enter(Deque<Level> levels, String path, String name, DirectoryEntry entry, Visitor visitor,
            Names names) {
        Action action = visitor.preVisitDirectory(path, entry);
        if (action != Action.CONTINUE) {
            return action;
        }
        Directory directory;
        try {
            directory = Directory.open(levels.isEmpty() ? null : levels.peek().directory, name, entry);
        } catch (ExtendedIOException failure) {
            return visitor.visitFailed(path, entry, failure);
        }
        boolean kept = false;
        try {
            levels.push(new Level(path.endsWith("/") ? path : path + "/", path, entry, directory, directory.scan(names),
                    new int[1]));
            kept = true;
            return Action.CONTINUE;
        } catch (ExtendedIOException failure) {
            directory.close();
            return visitor.visitFailed(path, entry, failure);
        } finally {
            if (!kept) {
                directory.close();
            }
        }
    }
}
