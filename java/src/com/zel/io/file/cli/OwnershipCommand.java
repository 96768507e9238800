package com.zel.io.file.cli;

import com.zel.io.file.UnixNativeFile;
import java.util.List;

/** nativefile chown and chgrp: give each path a new owner, group or both, on a link itself. */
final class OwnershipCommand extends Command {
    private final boolean ownerFirst;

    private OwnershipCommand(String name, String operands, String summary, String details, boolean ownerFirst) {
        super(name, operands, summary, details);
        this.ownerFirst = ownerFirst;
    }

    static OwnershipCommand chown() {
        return new OwnershipCommand(
                "chown",
                "OWNER[:GROUP] PATH...",
                "Change the owner, and the group, of files",
                """
                OWNER and GROUP are names or numeric ids; :GROUP alone changes only the group.
                A symbolic link is changed itself, not the file it points to (as chown -h).
                """,
                true);
    }

    static OwnershipCommand chgrp() {
        return new OwnershipCommand(
                "chgrp",
                "GROUP PATH...",
                "Change the group of files",
                """
                GROUP is a name or a numeric id. A symbolic link is changed itself, not the
                file it points to (as chgrp -h).
                """,
                false);
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> operands = operands(options, 2, Integer.MAX_VALUE);
        String ownerGroup = operands.get(0);
        String owner = null;
        String group = ownerGroup;
        if (ownerFirst) {
            int colon = ownerGroup.indexOf(':');
            owner = colon < 0 ? ownerGroup : ownerGroup.substring(0, colon);
            group = colon < 0 ? null : ownerGroup.substring(colon + 1);
            owner = owner.isEmpty() && group != null ? null : owner;
        }
        // The library takes an empty text for id 0: never let one through.
        if ("".equals(owner) || "".equals(group)) {
            throw usageError("invalid " + (ownerFirst ? "owner" : "group") + " '" + ownerGroup + "'");
        }
        String newOwner = owner;
        String newGroup = group;
        console.forEach(
                operands.subList(1, operands.size()),
                path -> {
                    if (newOwner != null) {
                        UnixNativeFile.setFileOwner(path, newOwner);
                    }
                    if (newGroup != null) {
                        UnixNativeFile.setFileGroup(path, newGroup);
                    }
                });
        return console.status();
    }
}
