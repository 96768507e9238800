package com.zel.io.file.cli;

import com.zel.io.file.AclEntry;
import com.zel.io.file.PosixAcls;
import com.zel.io.file.exception.ExtendedIOException;
import java.util.ArrayList;
import java.util.List;

/** nativefile setfacl: sets, removes or clears ACL entries, as setfacl -m, -x and -b do. */
final class SetfaclCommand extends Command {
    SetfaclCommand() {
        super(
                "setfacl",
                "(-m ACL | -x ACL | -b) PATH...",
                "Change the ACLs of files",
                """
                ACL is entries as setfacl takes them, separated by commas: u::rwx, u:alice:rx,
                g:staff:r, m::rx, o::- (user, group, mask and other may be written out; a
                name or an id). Every entry is checked before any file is changed: one that
                does not parse, or names an unknown user or group, changes nothing.

                  -m ACL   set or add the entries; the mask is recomputed unless ACL gives one
                  -x ACL   remove the entries (u:alice, g:staff: no permissions needed), then
                           recompute the mask
                  -b       remove every extended entry, and a directory's default ACL
                  -d       -m and -x work on a directory's default ACL; a directory without
                           one starts it from its access ACL

                A symbolic link is not followed: it has no ACL and is an error.
                """,
                "-m",
                "-x",
                "-b",
                "-d");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        List<String> actions = options.flags().stream().filter(f -> !f.equals("-d")).toList();
        if (actions.size() != 1) {
            throw usageError("give one of -m, -x and -b");
        }
        String action = actions.get(0);
        boolean withAcl = !action.equals("-b");
        List<String> operands = operands(options, withAcl ? 2 : 1, Integer.MAX_VALUE);
        PosixAcls.Type type = options.flags().contains("-d") ? PosixAcls.Type.DEFAULT : PosixAcls.Type.ACCESS;
        List<AclEntry> entries;
        try {
            entries = withAcl ? PosixAcls.parse(action.equals("-x") ? withoutPermissions(operands.get(0)) : operands.get(0)) : List.of();
        } catch (ExtendedIOException e) {
            console.fail(operands.get(0), e.getMessage());
            return console.status();
        }
        console.forEach(
                operands.subList(withAcl ? 1 : 0, operands.size()),
                path -> {
                    switch (action) {
                        case "-m" -> PosixAcls.modify(path(path), type, entries);
                        case "-x" -> PosixAcls.remove(path(path), type, entries);
                        default -> PosixAcls.removeExtended(path(path));
                    }
                });
        return console.status();
    }

    // -x entries name a tag and a qualifier only; libacl reads entries with permissions.
    private static String withoutPermissions(String acl) {
        List<String> entries = new ArrayList<>();
        for (String entry : acl.split(",", -1)) {
            long colons = entry.chars().filter(c -> c == ':').count();
            entries.add(colons == 0 ? entry + "::-" : colons == 1 ? entry + ":-" : entry.endsWith(":") ? entry + "-" : entry);
        }
        return String.join(",", entries);
    }
}
