package com.zel.io.file;

import java.util.Collections;
import java.util.EnumSet;
import java.util.Set;

/**
 * One mount of the calling process's mount namespace, as the kernel's mount table shows it and
 * {@code findmnt} reads it. Texts keep the library's rules: the kernel's escapes decoded, bytes
 * that are not UTF-8 kept as the library keeps them, nothing cut.
 *
 * @param id the mount's id, unique in the system while it is mounted
 * @param parentId the id of the mount it is mounted on (of itself for a namespace's root)
 * @param major the major number of the file system's device
 * @param minor the minor number of the file system's device
 * @param source what was mounted: a device, a file system's name or a server's export
 * @param root the directory of the file system that is mounted: {@code /} unless it is a bind
 *     mount of a part (or a subvolume)
 * @param mountPoint where it is mounted
 * @param type the file-system type, {@code ext4} or {@code tmpfs} for instance
 * @param options all options, as {@code findmnt} shows them in its OPTIONS column: the mount's
 *     own, then the file system's without {@code rw} or {@code ro}
 * @param mountOptions the mount's own options ({@code rw,nosuid,relatime})
 * @param superOptions the options of the file system's superblock, shared by all its mounts
 * @param readOnly whether the mount or its superblock is read-only
 * @param propagation how mount events pass between this mount and its peers: either
 *     {@link Propagation#SHARED} or {@link Propagation#PRIVATE}, with {@link Propagation#SLAVE}
 *     and {@link Propagation#UNBINDABLE} where they hold
 */
public record MountEntry(
        int id,
        int parentId,
        int major,
        int minor,
        String source,
        String root,
        String mountPoint,
        String type,
        String options,
        String mountOptions,
        String superOptions,
        boolean readOnly,
        Set<Propagation> propagation) {

    /** The propagation of a mount, as findmnt's PROPAGATION column names it. */
    public enum Propagation {
        /** Mount events pass to and from its peer group. */
        SHARED,
        /** No mount events pass to or from other mounts. */
        PRIVATE,
        /** Mount events pass from its master to it, not back. */
        SLAVE,
        /** It cannot be the source of a bind mount. */
        UNBINDABLE
    }

    /** Copies the set, so that the entry stays as it was made, in the order of {@link Propagation}. */
    public MountEntry {
        EnumSet<Propagation> copy = EnumSet.noneOf(Propagation.class);
        copy.addAll(propagation);
        propagation = Collections.unmodifiableSet(copy);
    }

    /**
     * Returns the source as findmnt's SOURCE column shows it: the source, followed by the root in
     * brackets where a part of the file system is mounted ({@code /dev/vda1[/srv/data]}).
     *
     * @return the source, with the root where it is not {@code /}
     */
    public String sourceWithRoot() {
        return root.equals("/") ? source : source + "[" + root + "]";
    }
}
