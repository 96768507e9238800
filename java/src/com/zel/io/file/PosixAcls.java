package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.EnumSet;
import java.util.List;
import java.util.Set;
import java.util.stream.Collectors;

/**
 * A file's POSIX access ACL and a directory's default ACL, read and changed as getfacl and setfacl
 * do, with the library they are built on (libacl): its text parser, its printer and its checks.
 *
 * <p>Only a regular file or a directory has an ACL; any other file, a symbolic link included,
 * raises {@link com.zel.io.file.exception.NotSupportedException}, never reaching through the
 * link, and so does a file system that keeps no ACLs. The path is examined once, without following
 * a link; the access ACL is read and set through a descriptor of that very file. A default ACL has
 * no descriptor form: it is read and set by path, and the path must name the examined directory
 * just before and just after (else {@link com.zel.io.file.exception.FileNotFoundException}).
 *
 * <p>Every change is parsed and checked whole before the file is examined, and applied in one
 * step: a text that does not parse, an unknown user or group, or an ACL that would not be valid
 * raises {@link ExtendedIOException} with errno EINVAL (naming the entry that does not parse) and
 * changes nothing. Other failures raise the exceptions of {@link UnixNativeFile}, with errno:
 * {@link com.zel.io.file.exception.AccessDeniedException} for a file the caller may not change
 * (EPERM, EACCES, EROFS), {@code ExtendedIOException} for an ACL over the file system's limit
 * (E2BIG, ENOSPC). A null argument raises {@code ExtendedIOException} with errno 0.
 */
public final class PosixAcls {
    static {
        NativeLibrary.load();
    }

    /** Which of a file's ACLs. */
    public enum Type {
        /** The ACL that grants access to the file itself. */
        ACCESS,
        /** The ACL a directory gives to the files made in it; a regular file has none. */
        DEFAULT
    }

    /** The forms {@link #toText} writes, those of libacl's {@code acl_to_any_text}. */
    public enum TextOption {
        /** A {@code #effective:} comment where the mask takes a permission away. */
        SOME_EFFECTIVE(0x01),
        /** A {@code #effective:} comment on every entry the mask limits. */
        ALL_EFFECTIVE(0x02),
        /** The comments aligned with tabs, as getfacl prints them. */
        SMART_INDENT(0x04),
        /** Ids in place of names. */
        NUMERIC_IDS(0x08),
        /** Tags as one letter: {@code u::rwx}. */
        ABBREVIATE(0x10);

        private final int bit;

        TextOption(int bit) {
            this.bit = bit;
        }
    }

    // What change0 does; the native side numbers them so.
    private static final int SET = 0;
    private static final int MODIFY = 1;
    private static final int REMOVE = 2;
    private static final int REMOVE_EXTENDED = 3;
    private static final int REMOVE_DEFAULT = 4;

    private static final AclEntry.Tag[] TAGS = AclEntry.Tag.values();
    private static final AclEntry.Permission[] PERMISSIONS = AclEntry.Permission.values();

    private PosixAcls() {}

    /**
     * Returns one of the file's ACLs. A file without extended entries has an access ACL of three
     * entries all the same, from its mode.
     *
     * @param path a regular file or directory
     * @param type which ACL
     * @return its entries in getfacl's order; empty for a default ACL the file lacks
     * @throws ExtendedIOException as the class describes
     */
    public static List<AclEntry> get(Path path, Type type) throws ExtendedIOException {
        return entries(get0(NativeFiles.text(path), type == Type.DEFAULT));
    }

    /**
     * Makes the given entries the file's ACL, as {@code setfacl --set} does: the mask is computed
     * where named entries need one and none is given. An empty list removes a default ACL.
     *
     * @param path a regular file or directory (a directory for a default ACL)
     * @param type which ACL
     * @param entries the whole ACL
     * @throws ExtendedIOException as the class describes
     */
    public static void set(Path path, Type type, List<AclEntry> entries) throws ExtendedIOException {
        change(path, type, SET, entries);
    }

    /**
     * Sets or adds entries, as {@code setfacl -m} does: an entry of the same tag and id takes the
     * new permissions, other entries stay, and the mask is recomputed unless one is given. A
     * directory without a default ACL starts one from its access ACL.
     *
     * @param path a regular file or directory (a directory for a default ACL)
     * @param type which ACL
     * @param entries the entries to set
     * @throws ExtendedIOException as the class describes
     */
    public static void modify(Path path, Type type, List<AclEntry> entries) throws ExtendedIOException {
        change(path, type, MODIFY, entries);
    }

    /**
     * Removes the entries of the given tags and ids, as {@code setfacl -x} does (their permissions
     * do not matter; entries the ACL lacks are passed over), then recomputes the mask.
     *
     * @param path a regular file or directory (a directory for a default ACL)
     * @param type which ACL
     * @param entries the entries to remove
     * @throws ExtendedIOException as the class describes
     */
    public static void remove(Path path, Type type, List<AclEntry> entries) throws ExtendedIOException {
        change(path, type, REMOVE, entries);
    }

    /**
     * Removes every extended entry, as {@code setfacl -b} does: the access ACL keeps its owner,
     * group and other entries, and a directory loses its default ACL.
     *
     * @param path a regular file or directory
     * @throws ExtendedIOException as the class describes
     */
    public static void removeExtended(Path path) throws ExtendedIOException {
        change0(NativeFiles.text(path), false, REMOVE_EXTENDED, "");
    }

    /**
     * Removes a directory's default ACL, as {@code setfacl -k} does; nothing for a regular file.
     *
     * @param path a regular file or directory
     * @throws ExtendedIOException as the class describes
     */
    public static void removeDefault(Path path) throws ExtendedIOException {
        change0(NativeFiles.text(path), true, REMOVE_DEFAULT, "");
    }

    /**
     * Reads entries in the text form that setfacl takes ({@code u::rwx,u:alice:r-x,m::r-x}),
     * separated by commas or line feeds, names turned into ids.
     *
     * @param text the entries
     * @return the entries, in the text's order
     * @throws ExtendedIOException with errno EINVAL for an entry that does not parse or names an
     *     unknown user or group
     */
    public static List<AclEntry> parse(String text) throws ExtendedIOException {
        return entries(parse0(text));
    }

    /**
     * Writes entries in the text form that getfacl prints, with libacl's printer.
     *
     * @param entries the entries
     * @param prefix put before each entry, as {@code default:}; empty for none
     * @param separator between entries: a comma or a line feed
     * @param options the form
     * @return the text, without a final separator
     * @throws ExtendedIOException with errno EINVAL for entries that the text form cannot hold, or a
     *     separator that is not one ASCII character
     */
    public static String toText(List<AclEntry> entries, String prefix, char separator, Set<TextOption> options)
            throws ExtendedIOException {
        int bits = options.stream().mapToInt(o -> o.bit).reduce(0, (a, b) -> a | b);
        String text = text0(numeric(entries), prefix, separator, bits);
        return text.endsWith(String.valueOf(separator)) ? text.substring(0, text.length() - 1) : text;
    }

    /**
     * Writes entries in setfacl's short form, {@code u::rwx,u:alice:r-x,g::r-x,m::r-x,o::---}.
     *
     * @param entries the entries
     * @return the text
     * @throws ExtendedIOException as {@link #toText(List, String, char, Set)}
     */
    public static String toText(List<AclEntry> entries) throws ExtendedIOException {
        return toText(entries, "", ',', EnumSet.of(TextOption.ABBREVIATE));
    }

    private static void change(Path path, Type type, int change, List<AclEntry> entries) throws ExtendedIOException {
        change0(NativeFiles.text(path), type == Type.DEFAULT, change, entries == null ? null : numeric(entries));
    }

    private static String numeric(List<AclEntry> entries) {
        return entries.stream().map(AclEntry::numeric).collect(Collectors.joining(","));
    }

    // The native side gives three numbers an entry (tag, permission bits r=4 w=2 x=1, id), then
    // each entry's name, null where the id has none.
    private static List<AclEntry> entries(Object[] packed) {
        int[] fields = (int[]) packed[0];
        List<AclEntry> entries = new ArrayList<>(fields.length / 3);
        for (int i = 0; i < fields.length / 3; i++) {
            AclEntry.Tag tag = TAGS[fields[3 * i]];
            EnumSet<AclEntry.Permission> permissions = EnumSet.noneOf(AclEntry.Permission.class);
            for (AclEntry.Permission p : PERMISSIONS) {
                if ((fields[3 * i + 1] & 4 >> p.ordinal()) != 0) {
                    permissions.add(p);
                }
            }
            boolean named = tag == AclEntry.Tag.USER || tag == AclEntry.Tag.GROUP;
            long id = Integer.toUnsignedLong(fields[3 * i + 2]);
            String name = named && packed[i + 1] == null ? Long.toString(id) : (String) packed[i + 1];
            entries.add(new AclEntry(tag, named ? id : -1, name, permissions));
        }
        return entries;
    }

    private static native Object[] get0(String path, boolean defaultAcl) throws ExtendedIOException;

    private static native Object[] parse0(String text) throws ExtendedIOException;

    private static native String text0(String text, String prefix, int separator, int options) throws ExtendedIOException;

    private static native void change0(String path, boolean defaultAcl, int change, String text) throws ExtendedIOException;
}
