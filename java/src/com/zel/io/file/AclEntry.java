package com.zel.io.file;

import java.util.EnumSet;
import java.util.Objects;
import java.util.Set;

/**
 * One entry of a POSIX ACL: its tag, for a named user or group entry the id and its name, and the
 * permissions it grants.
 *
 * @param tag whose entry it is
 * @param id the user or group id of a {@link Tag#USER} or {@link Tag#GROUP} entry, 0 to
 *     4294967295; -1 for the other tags
 * @param name the id's user or group name, or its digits where it has none; null for the other
 *     tags. Setting an ACL goes by the id alone
 * @param permissions the permissions granted
 */
public record AclEntry(Tag tag, long id, String name, Set<Permission> permissions) {
    /** Whose entry it is. */
    public enum Tag {
        /** The file's owner: {@code user::}. */
        USER_OBJ,
        /** A named user: {@code user:alice:}. */
        USER,
        /** The file's group: {@code group::}. */
        GROUP_OBJ,
        /** A named group: {@code group:staff:}. */
        GROUP,
        /** The most the named entries and the group may get: {@code mask::}. */
        MASK,
        /** Everybody else: {@code other::}. */
        OTHER
    }

    /** A permission an entry grants. */
    public enum Permission {
        /** {@code r} */
        READ,
        /** {@code w} */
        WRITE,
        /** {@code x} */
        EXECUTE
    }

    /**
     * Checks the entry and keeps a copy of its permissions.
     *
     * @throws IllegalArgumentException when a named tag lacks an id in range or another tag has one
     * @throws NullPointerException when tag or permissions is null
     */
    public AclEntry {
        Objects.requireNonNull(tag, "tag");
        boolean named = tag == Tag.USER || tag == Tag.GROUP;
        if (named ? id < 0 || id > 0xffff_ffffL : id != -1) {
            throw new IllegalArgumentException(tag + " entry with id " + id);
        }
        permissions = permissions.isEmpty() ? EnumSet.noneOf(Permission.class) : EnumSet.copyOf(permissions);
    }

    /**
     * An entry of a tag that takes no id: {@code USER_OBJ}, {@code GROUP_OBJ}, {@code MASK} or
     * {@code OTHER}.
     *
     * @param tag the tag
     * @param permissions the permissions granted
     * @return the entry
     */
    public static AclEntry of(Tag tag, Set<Permission> permissions) {
        return new AclEntry(tag, -1, null, permissions);
    }

    /**
     * A named user's or group's entry.
     *
     * @param tag {@code USER} or {@code GROUP}
     * @param id the user or group id
     * @param permissions the permissions granted
     * @return the entry, without a name
     */
    public static AclEntry named(Tag tag, long id, Set<Permission> permissions) {
        return new AclEntry(tag, id, null, permissions);
    }

    /**
     * Returns the entry as getfacl prints it: {@code user:alice:r-x}, the name where there is one.
     *
     * @return the entry's text
     */
    @Override
    public String toString() {
        String qualifier = id < 0 ? "" : name != null ? name : Long.toString(id);
        return tagWord() + ":" + qualifier + ":" + letters();
    }

    /** The entry with its id in place of a name, as libacl reads it back exactly. */
    String numeric() {
        return tagWord() + ":" + (id < 0 ? "" : Long.toString(id)) + ":" + letters();
    }

    private String tagWord() {
        return switch (tag) {
            case USER_OBJ, USER -> "user";
            case GROUP_OBJ, GROUP -> "group";
            case MASK -> "mask";
            case OTHER -> "other";
        };
    }

    private String letters() {
        return (permissions.contains(Permission.READ) ? "r" : "-") + (permissions.contains(Permission.WRITE) ? "w" : "-")
                + (permissions.contains(Permission.EXECUTE) ? "x" : "-");
    }
}
