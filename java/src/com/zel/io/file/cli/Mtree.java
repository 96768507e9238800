package com.zel.io.file.cli;

import com.zel.io.file.DirectoryEntry;
import java.io.ByteArrayOutputStream;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * The mtree(5) manifest lines nativefile manifest writes and reads: a path and keyword=value
 * pairs, texts escaped as bsdtar escapes them.
 */
final class Mtree {
    /** The keywords written and checked, in the order written. */
    static final List<String> KEYWORDS = List.of("type", "mode", "uid", "gid", "uname", "gname", "size", "link", "time");

    private Mtree() {}

    /** An entry's keywords and values, as written: uname and gname only where the system lists a name, size for files. */
    static Map<String, String> keywords(DirectoryEntry entry) {
        Map<String, String> values = new LinkedHashMap<>();
        values.put("type", switch (entry.type()) {
            case REGULAR -> "file";
            case DIRECTORY -> "dir";
            case SYMBOLIC_LINK -> "link";
            case CHARACTER_DEVICE -> "char";
            case BLOCK_DEVICE -> "block";
            case FIFO -> "fifo";
            case SOCKET -> "socket";
        });
        values.put("mode", Integer.toOctalString(entry.mode()));
        values.put("uid", Long.toString(entry.uid()));
        values.put("gid", Long.toString(entry.gid()));
        if (entry.owner() != null) {
            values.put("uname", escape(entry.owner()));
        }
        if (entry.group() != null) {
            values.put("gname", escape(entry.group()));
        }
        if (entry.type() == DirectoryEntry.Type.REGULAR) {
            values.put("size", Long.toString(entry.size()));
        }
        if (entry.linkTarget() != null) {
            values.put("link", escape(entry.linkTarget()));
        }
        long seconds = Math.floorDiv(entry.modifiedNanos(), 1_000_000_000L);
        long nanos = Math.floorMod(entry.modifiedNanos(), 1_000_000_000L);
        // Nanoseconds as a plain number, as bsdtar writes them and mtree readers read them.
        values.put("time", seconds + "." + nanos);
        return values;
    }

    /** A manifest line: the escaped path, then the keywords. */
    static String line(String path, Map<String, String> values) {
        StringBuilder line = new StringBuilder(path);
        values.forEach((keyword, value) -> line.append(' ').append(keyword).append('=').append(value));
        return line.toString();
    }

    /**
     * A text's bytes as the library writes it to the system ({@link Console#bytes}), each byte
     * that is no printable ASCII, a space, '#', '=' or '\' written as a backslash and three octal
     * digits.
     */
    static String escape(String text) {
        return escape(Console.bytes(text));
    }

    static String escape(byte[] bytes) {
        StringBuilder escaped = new StringBuilder();
        for (byte b : bytes) {
            int u = b & 0xff;
            escaped.append(u <= 0x20 || u >= 0x7f || u == '#' || u == '=' || u == '\\' ? String.format("\\%03o", u)
                    : String.valueOf((char) u));
        }
        return escaped.toString();
    }

    /** An escaped text of a manifest in the one form escape writes, whatever escapes it used. */
    static String normal(String text) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '\\' && i + 3 < text.length() && text.substring(i + 1, i + 4).matches("[0-3][0-7][0-7]")) {
                out.write(Integer.parseInt(text.substring(i + 1, i + 4), 8));
                i += 3;
            } else if (c == '\\' && i + 1 < text.length()) {
                out.write(text.charAt(++i));
            } else {
                out.write(c);
            }
        }
        return escape(out.toByteArray());
    }

    /** A manifest's value in the form keywords writes it, so that equal values compare equal. */
    static String normal(String keyword, String value) {
        try {
            return switch (keyword) {
                case "mode" -> Integer.toOctalString(Integer.parseInt(value, 8) & 07777);
                case "uid", "gid", "size" -> Long.toString(Long.parseLong(value));
                case "time" -> {
                    String[] parts = (value + ".0").split("\\.");
                    yield Long.parseLong(parts[0]) + "." + Long.parseLong(parts[1]);
                }
                case "uname", "gname", "link" -> normal(value);
                default -> value;
            };
        } catch (NumberFormatException e) {
            return value;
        }
    }

    /**
     * Reads a manifest: each entry's normal path (relative, "." for the top, no "./") to its
     * keywords, /set defaults applied and /unset honoured; comments, blank lines and joined lines
     * as mtree(5) has them.
     */
    static Map<String, Map<String, String>> read(String text) {
        Map<String, Map<String, String>> entries = new LinkedHashMap<>();
        Map<String, String> defaults = new HashMap<>();
        for (String line : text.replace("\\\n", " ").split("\n")) {
            String[] words = line.strip().split("[ \t]+");
            if (words[0].isEmpty() || words[0].startsWith("#")) {
                continue;
            }
            if (words[0].equals("/set") || words[0].equals("/unset")) {
                for (int i = 1; i < words.length; i++) {
                    String[] pair = words[i].split("=", 2);
                    if (words[0].equals("/set") && pair.length == 2) {
                        defaults.put(pair[0], pair[1]);
                    } else if (pair[0].equals("all")) {
                        defaults.clear();
                    } else {
                        defaults.remove(pair[0]);
                    }
                }
                continue;
            }
            Map<String, String> values = new HashMap<>(defaults);
            for (int i = 1; i < words.length; i++) {
                String[] pair = words[i].split("=", 2);
                values.put(pair[0], pair.length == 2 ? pair[1] : "");
            }
            entries.put(relative(normal(words[0])), values);
        }
        return entries;
    }

    /** A path below the top without its leading "./"; "." for the top itself. */
    static String relative(String path) {
        String stripped = path.startsWith("./") ? path.substring(2) : path;
        return stripped.isEmpty() ? "." : stripped;
    }
}
