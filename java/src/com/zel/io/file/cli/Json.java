package com.zel.io.file.cli;

import java.io.PrintStream;
import java.util.List;
import java.util.stream.Collectors;

/**
 * The little JSON the commands print: flat objects of strings, numbers, booleans, nulls and lists
 * of those.
 */
final class Json {
    private Json() {}

    /** An object of the given keys and values, alternating. */
    static String object(Object... keysAndValues) {
        StringBuilder text = new StringBuilder("{");
        for (int i = 0; i < keysAndValues.length; i += 2) {
            text.append(i == 0 ? "" : ", ")
                    .append(value(keysAndValues[i]))
                    .append(": ")
                    .append(value(keysAndValues[i + 1]));
        }
        return text.append('}').toString();
    }

    /** Prints an array of objects made by {@link #object}, one to a line. */
    static void printArray(PrintStream out, List<String> objects) {
        out.println(objects.isEmpty() ? "[]" : "[\n  " + String.join(",\n  ", objects) + "\n]");
    }

    private static String value(Object value) {
        if (value instanceof List<?> list) {
            return list.stream().map(Json::value).collect(Collectors.joining(", ", "[", "]"));
        }
        if (value == null || value instanceof Number || value instanceof Boolean) {
            return String.valueOf(value);
        }
        return quote(value.toString());
    }

    // Everything outside printable ASCII is escaped, so that the output is
    // the same whatever encoding standard output has.
    private static String quote(String text) {
        StringBuilder quoted = new StringBuilder("\"");
        for (char c : text.toCharArray()) {
            if (c == '"' || c == '\\') {
                quoted.append('\\').append(c);
            } else if (c < 0x20 || c > 0x7e) {
                quoted.append(String.format("\\u%04x", (int) c));
            } else {
                quoted.append(c);
            }
        }
        return quoted.append('"').toString();
    }
}
