package com.zel.io.file;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * A strict reader of the JSON the command prints: objects become maps, arrays lists, numbers
 * longs (fractions are not expected), and true, false and null themselves. Malformed text throws.
 */
final class MiniJson {
    private final String text;
    private int at;

    private MiniJson(String text) {
        this.text = text;
    }

    static Object parse(String text) {
        MiniJson reader = new MiniJson(text);
        Object value = reader.value();
        reader.skipSpace();
        if (reader.at != text.length()) {
            throw reader.error("text after the value");
        }
        return value;
    }

    @SuppressWarnings("unchecked")
    static List<Map<String, Object>> parseObjects(String text) {
        return (List<Map<String, Object>>) parse(text);
    }

    private Object value() {
        skipSpace();
        if (at >= text.length()) {
            throw error("value expected");
        }
        char c = text.charAt(at);
        return switch (c) {
            case '{' -> object();
            case '[' -> array();
            case '"' -> string();
            case 't' -> literal("true", Boolean.TRUE);
            case 'f' -> literal("false", Boolean.FALSE);
            case 'n' -> literal("null", null);
            default -> number();
        };
    }

    private Map<String, Object> object() {
        Map<String, Object> object = new LinkedHashMap<>();
        expect('{');
        skipSpace();
        if (peek() == '}') {
            at++;
            return object;
        }
        do {
            skipSpace();
            String key = string();
            skipSpace();
            expect(':');
            if (object.containsKey(key)) {
                throw error("duplicate key " + key);
            }
            object.put(key, value());
            skipSpace();
        } while (take(','));
        expect('}');
        return object;
    }

    private List<Object> array() {
        List<Object> array = new ArrayList<>();
        expect('[');
        skipSpace();
        if (peek() == ']') {
            at++;
            return array;
        }
        do {
            array.add(value());
            skipSpace();
        } while (take(','));
        expect(']');
        return array;
    }

    private String string() {
        expect('"');
        StringBuilder out = new StringBuilder();
        while (true) {
            char c = next();
            if (c == '"') {
                return out.toString();
            }
            if (c < 0x20) {
                throw error("control character in a string");
            }
            if (c != '\\') {
                out.append(c);
                continue;
            }
            char escape = next();
            switch (escape) {
                case '"', '\\', '/' -> out.append(escape);
                case 'b' -> out.append('\b');
                case 'f' -> out.append('\f');
                case 'n' -> out.append('\n');
                case 'r' -> out.append('\r');
                case 't' -> out.append('\t');
                case 'u' -> {
                    out.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
                    at += 4;
                }
                default -> throw error("bad escape \\" + escape);
            }
        }
    }

    private Object literal(String word, Object value) {
        if (!text.startsWith(word, at)) {
            throw error(word + " expected");
        }
        at += word.length();
        return value;
    }

    private Long number() {
        int start = at;
        if (peek() == '-') {
            at++;
        }
        while (at < text.length() && Character.isDigit(text.charAt(at))) {
            at++;
        }
        if (at == start || text.substring(start, at).equals("-")) {
            throw error("number expected");
        }
        return Long.parseLong(text.substring(start, at));
    }

    private void skipSpace() {
        while (at < text.length() && " \t\r\n".indexOf(text.charAt(at)) >= 0) {
            at++;
        }
    }

    private char peek() {
        return at < text.length() ? text.charAt(at) : '\0';
    }

    private char next() {
        if (at >= text.length()) {
            throw error("unexpected end");
        }
        return text.charAt(at++);
    }

    private boolean take(char c) {
        if (peek() == c) {
            at++;
            return true;
        }
        return false;
    }

    private void expect(char c) {
        if (next() != c) {
            throw error("'" + c + "' expected");
        }
    }

    private IllegalArgumentException error(String message) {
        return new IllegalArgumentException(message + " at " + at + " in: " + text);
    }
}
