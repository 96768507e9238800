package com.zel.io.file.cli;

import static java.nio.charset.StandardCharsets.UTF_8;

import com.zel.io.file.AclEntry;
import com.zel.io.file.PosixAcls;
import com.zel.io.file.UnixFileMode;
import com.zel.io.file.UnixNativeFile;
import com.zel.io.file.exception.ExtendedIOException;
import java.io.ByteArrayOutputStream;
import java.nio.file.Path;
import java.util.EnumSet;
import java.util.List;

/** nativefile getfacl: each file's ACLs, as getfacl prints them. */
final class GetfaclCommand extends Command {
    private static final EnumSet<PosixAcls.TextOption> FORM =
            EnumSet.of(PosixAcls.TextOption.SOME_EFFECTIVE);

    GetfaclCommand() {
        super(
                "getfacl",
                "PATH...",
                "Show the ACLs of files",
                """
                Prints what getfacl prints by default, its comment header included: lines
                "# file: PATH", "# owner: NAME", "# group: NAME" and, where a set-user-ID,
                set-group-ID or sticky bit is set, "# flags: " and three places for them (s,
                s, t or -); then the access ACL, a line per entry, a "#effective:" comment
                where the mask takes a permission away; then a directory's default ACL, its
                entries prefixed "default:"; and an empty line. PATH is written as getfacl
                writes it: leading slashes, or a leading ./, left out, line feed, carriage
                return as \\012 and \\015, a backslash doubled. Unlike getfacl, a symbolic
                link is not followed: it has no ACL and is an error, as is any file that
                is neither a regular file nor a directory.

                  -d       the default ACL only, without the prefix (nothing for a file)
                  --json   a JSON array instead, an object per path with the keys path,
                           owner, group, access and default (arrays of entries as getfacl
                           writes them, without comments)
                """,
                "-d",
                "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        boolean defaultOnly = options.flags().contains("-d");
        return console.report(
                operands(options, 1, Integer.MAX_VALUE),
                options.json(),
                path -> {
                    Path file = path(path);
                    List<AclEntry> access = defaultOnly ? List.of() : PosixAcls.get(file, PosixAcls.Type.ACCESS);
                    List<AclEntry> inherited = PosixAcls.get(file, PosixAcls.Type.DEFAULT);
                    String owner = UnixNativeFile.getFileOwner(path);
                    String group = UnixNativeFile.getFileGroup(path);
                    if (!options.json()) {
                        print(console, path, owner, group, access, inherited, defaultOnly ? "" : "default:");
                    }
                    return Json.object(
                            "path", path, "owner", owner, "group", group,
                            "access", access.stream().map(AclEntry::toString).toList(),
                            "default", inherited.stream().map(AclEntry::toString).toList());
                });
    }

    private static void print(
            Console console, String path, String owner, String group, List<AclEntry> access, List<AclEntry> inherited,
            String prefix) throws ExtendedIOException {
        ByteArrayOutputStream text = new ByteArrayOutputStream();
        text.writeBytes("# file: ".getBytes(UTF_8));
        text.writeBytes(XattrText.aclPath(path));
        StringBuilder rest = new StringBuilder("\n# owner: " + owner + "\n# group: " + group + "\n");
        int mode = UnixFileMode.getMode(path);
        if ((mode & 07000) != 0) {
            rest.append("# flags: ").append((mode & 04000) != 0 ? 's' : '-').append((mode & 02000) != 0 ? 's' : '-')
                    .append((mode & 01000) != 0 ? 't' : '-').append('\n');
        }
        if (!access.isEmpty()) {
            rest.append(PosixAcls.toText(access, "", '\n', FORM)).append('\n');
        }
        if (!inherited.isEmpty()) {
            rest.append(PosixAcls.toText(inherited, prefix, '\n', FORM)).append('\n');
        }
        text.writeBytes(rest.append('\n').toString().getBytes(UTF_8));
        console.out.writeBytes(text.toByteArray());
    }
}
