package com.zel.io.file.cli;

import static java.nio.charset.StandardCharsets.UTF_8;

import com.zel.io.file.ExtendedAttributes;
import com.zel.io.file.exception.ExtendedIOException;
import java.io.ByteArrayOutputStream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.Comparator;
import java.util.EnumSet;
import java.util.List;
import java.util.Set;

/** nativefile xattr: lists, shows, sets and removes extended attributes, on a link itself. */
final class XattrCommand extends Command {
    XattrCommand() {
        super(
                "xattr",
                "list|get|set|rm [NAME [VALUE]] PATH...",
                "List, show, set and remove extended attributes",
                """
                  list PATH...             the names of each file's attributes
                  get NAME PATH...         the attribute's value
                  set NAME VALUE PATH...   give the attribute the value
                  rm NAME PATH...          remove the attribute

                NAME is a full name, namespace included: user.comment. Every namespace the
                caller may reach is listed (for root trusted., security. and system. too). A
                symbolic link is worked on itself, as getfattr -h and setfattr -h do.

                list prints what getfattr -h -m - PATH prints, get what getfattr -h -n NAME
                PATH prints: a line "# file: PATH", a line per name, sorted by bytes, with
                =VALUE for get, and an empty line; nothing for a file without attributes.
                PATH is written as getfattr writes it by default: leading slashes, or a
                leading ./, left out ("/" is "."), line feed, carriage return and backslash
                as \\012, \\015, \\134; in names = too, as \\075. VALUE is text in double
                quotes, with \\000, \\012 and \\015 for NUL, line feed and carriage return and
                \\\\ and \\" for backslash and quote; but 0s and base64 where more than one
                byte in eight (a final NUL not counted) is outside printable ASCII.

                set reads VALUE as setfattr does: 0x and hex digits (blanks ignored), 0s and
                base64, else text taken as its UTF-8 bytes, in double quotes or not, in which
                \\ and one to three octal digits stand for a byte, \\\\ for \\ and \\" for ".
                Java receives arguments as text, so bytes that are no UTF-8 (getfattr may
                print them inside quotes) must be written as \\ooo, in hex or in base64.

                  --json      list and get: a JSON array instead, an object per path with the
                              keys path and names (an array), or path, name, text (the value
                              if it is UTF-8, else null) and base64
                  --create    set: fail where the attribute exists already
                  --replace   set: fail where the attribute does not exist yet
                """,
                "--json",
                "--create",
                "--replace");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        String action = operands(options, 1, Integer.MAX_VALUE).get(0);
        int fixed = switch (action) {
            case "list" -> 1;
            case "get", "rm" -> 2;
            case "set" -> 3;
            default -> throw usageError("unknown action '" + action + "'");
        };
        Set<String> flags = switch (action) {
            case "list", "get" -> Set.of("--json");
            case "set" -> Set.of("--create", "--replace");
            default -> Set.of();
        };
        for (String flag : options.flags()) {
            if (!flags.contains(flag)) {
                throw usageError("option '" + flag + "' does not go with " + action);
            }
        }
        List<String> operands = operands(options, fixed + 1, Integer.MAX_VALUE);
        List<String> paths = operands.subList(fixed, operands.size());
        String name = fixed > 1 ? operands.get(1) : null;
        List<String> objects = new ArrayList<>();
        switch (action) {
            case "list" -> console.forEach(paths, path -> list(path, options.json(), objects, console));
            case "get" -> console.forEach(paths, path -> get(path, name, options.json(), objects, console));
            case "set" -> set(paths, name, operands.get(2), options, console);
            default -> console.forEach(paths, path -> ExtendedAttributes.remove(path(path), name));
        }
        if (options.json()) {
            Json.printArray(console.out, objects);
        }
        return console.status();
    }

    private static void list(String path, boolean json, List<String> objects, Console console)
            throws ExtendedIOException {
        List<String> names = new ArrayList<>(ExtendedAttributes.list(path(path)));
        // getfattr sorts the names as C compares texts: by their bytes.
        names.sort(Comparator.comparing((String n) -> n.getBytes(UTF_8), Arrays::compareUnsigned));
        objects.add(Json.object("path", path, "names", names));
        if (!json && !names.isEmpty()) {
            print(console, path, names.stream().map(XattrText::name).toList());
        }
    }

    private static void get(String path, String name, boolean json, List<String> objects, Console console)
            throws ExtendedIOException {
        byte[] value = ExtendedAttributes.get(path(path), name);
        objects.add(
                Json.object(
                        "path", path, "name", name, "text", XattrText.utf8(value),
                        "base64", Base64.getEncoder().encodeToString(value)));
        if (!json) {
            ByteArrayOutputStream line = new ByteArrayOutputStream();
            line.writeBytes(XattrText.name(name));
            line.write('=');
            line.writeBytes(XattrText.value(value));
            print(console, path, List.of(line.toByteArray()));
        }
    }

    private void set(List<String> paths, String name, String text, Options options, Console console)
            throws UsageException {
        byte[] value;
        try {
            value = XattrText.parse(text);
        } catch (IllegalArgumentException e) {
            throw usageError("invalid value '" + text + "'");
        }
        Set<ExtendedAttributes.Option> how = EnumSet.noneOf(ExtendedAttributes.Option.class);
        if (options.flags().contains("--create")) {
            how.add(ExtendedAttributes.Option.CREATE);
        }
        if (options.flags().contains("--replace")) {
            how.add(ExtendedAttributes.Option.REPLACE);
        }
        if (how.size() == 2) {
            throw usageError("--create and --replace exclude each other");
        }
        console.forEach(paths, path -> ExtendedAttributes.set(path(path), name, value, how));
    }

    // A file's lines go out as bytes, unchanged by the console's encoding, as getfattr writes them.
    private static void print(Console console, String path, List<byte[]> lines) {
        ByteArrayOutputStream text = new ByteArrayOutputStream();
        text.writeBytes("# file: ".getBytes(UTF_8));
        text.writeBytes(XattrText.path(path));
        text.write('\n');
        for (byte[] line : lines) {
            text.writeBytes(line);
            text.write('\n');
        }
        text.write('\n');
        console.out.writeBytes(text.toByteArray());
    }
}
