package com.zel.io.file.cli;

import static java.nio.charset.StandardCharsets.UTF_8;

import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.util.Base64;
import java.util.HexFormat;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Paths, attribute names and values as getfattr writes them and setfattr reads them, so that a
 * script can switch between them and xattr. Texts become their UTF-8 bytes.
 */
final class XattrText {
    // Groups of four, blanks between groups but not within; a group that ends in padding ends
    // the data (its spare bits zero), and only "====" groups may follow. In Java's regular
    // expressions \s is exactly C's isspace.
    private static final Pattern BASE64 =
            Pattern.compile(
                    "\\s*((?:[A-Za-z0-9+/]{4}\\s*)*"
                            + "(?:(?:[A-Za-z0-9+/][AQgw]==|[A-Za-z0-9+/]{2}[AEIMQUYcgkosw048]=)\\s*)?)"
                            + "(?:====\\s*)*");
    private static final Pattern HEX = Pattern.compile("(?:[0-9A-Fa-f]{2})*");

    private XattrText() {}

    /** A path as getfattr writes it by default: leading slashes, or a leading ./, left out. */
    static byte[] path(String path) {
        return escape(shown(path), "");
    }

    /** A path as getfacl writes it: as getfattr does, but a backslash doubled. */
    static byte[] aclPath(String path) {
        ByteArrayOutputStream escaped = new ByteArrayOutputStream();
        for (byte b : Console.bytes(shown(path))) {
            if (b == '\\') {
                escaped.write(b);
                escaped.write(b);
            } else if (b == '\n' || b == '\r') {
                octal(escaped, b);
            } else {
                escaped.write(b);
            }
        }
        return escaped.toByteArray();
    }

    private static String shown(String path) {
        String shown = path.replaceFirst(path.startsWith("/") ? "^/+" : "^\\./+", "");
        return shown.isEmpty() ? "." : shown;
    }

    /** An attribute name as getfattr writes it: '=' escaped too, since it ends the name. */
    static byte[] name(String name) {
        return escape(name, "=");
    }

    /**
     * A value in getfattr's default encoding: text in double quotes while no more than one byte
     * in eight is outside printable ASCII, else 0s and base64. A final NUL, as C texts end, is
     * left out of the text and of the count.
     */
    static byte[] value(byte[] value) {
        int length = value.length > 0 && value[value.length - 1] == 0 ? value.length - 1 : value.length;
        int unprintable = 0;
        for (int i = 0; i < length; i++) {
            unprintable += printable(value[i]) ? 0 : 1;
        }
        ByteArrayOutputStream text = new ByteArrayOutputStream();
        if (length < 8 * unprintable) {
            text.writeBytes(("0s" + Base64.getEncoder().encodeToString(value)).getBytes(UTF_8));
            return text.toByteArray();
        }
        text.write('"');
        for (int i = 0; i < length; i++) {
            byte b = value[i];
            if (b == 0 || b == '\n' || b == '\r') {
                octal(text, b);
            } else {
                if (b == '"' || b == '\\') {
                    text.write('\\');
                }
                text.write(b);
            }
        }
        text.write('"');
        return text.toByteArray();
    }

    /**
     * Reads a value as setfattr does: 0x (or 0X) and pairs of hex digits, blanks anywhere; 0s
     * (or 0S) and base64; else a text, in double quotes or not, where a backslash and one to three
     * octal digits stand for a byte, \\ for a backslash and \" for a quote.
     *
     * @throws IllegalArgumentException for hex or base64 that is not well formed
     */
    static byte[] parse(String text) {
        String prefix = text.length() < 2 ? "" : text.substring(0, 2);
        if (prefix.equalsIgnoreCase("0x")) {
            String digits = text.substring(2).replaceAll("\\s", "");
            if (!HEX.matcher(digits).matches()) {
                throw new IllegalArgumentException(text);
            }
            return HexFormat.of().parseHex(digits);
        }
        if (prefix.equalsIgnoreCase("0s")) {
            Matcher m = BASE64.matcher(text.substring(2));
            if (!m.matches()) {
                throw new IllegalArgumentException(text);
            }
            return Base64.getDecoder().decode(m.group(1).replaceAll("\\s", ""));
        }
        boolean quoted = text.length() >= 2 && text.startsWith("\"") && text.endsWith("\"");
        return unescape((quoted ? text.substring(1, text.length() - 1) : text).getBytes(UTF_8));
    }

    /** The value as text, or null where its bytes are not UTF-8. */
    static String utf8(byte[] value) {
        try {
            return UTF_8.newDecoder().decode(ByteBuffer.wrap(value)).toString();
        } catch (CharacterCodingException notText) {
            return null;
        }
    }

    // Backslash and the characters that would break getfattr's lines.
    private static byte[] escape(String text, String alsoEscaped) {
        ByteArrayOutputStream escaped = new ByteArrayOutputStream();
        for (byte b : Console.bytes(text)) {
            if (b == '\n' || b == '\r' || b == '\\' || alsoEscaped.indexOf(b) >= 0) {
                octal(escaped, b);
            } else {
                escaped.write(b);
            }
        }
        return escaped.toByteArray();
    }

    private static byte[] unescape(byte[] text) {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        for (int i = 0; i < text.length; i++) {
            byte next = i + 1 < text.length ? text[i + 1] : 0;
            if (text[i] != '\\') {
                bytes.write(text[i]);
            } else if (isOctal(next)) {
                int code = 0;
                for (int end = Math.min(i + 4, text.length); i + 1 < end && isOctal(text[i + 1]); i++) {
                    code = code * 8 + text[i + 1] - '0';
                }
                bytes.write(code);
            } else if (next == '\\' || next == '"') {
                bytes.write(next);
                i++;
            } else {
                bytes.write('\\');
            }
        }
        return bytes.toByteArray();
    }

    private static boolean isOctal(byte b) {
        return b >= '0' && b <= '7';
    }

    private static boolean printable(byte b) {
        return b >= 0x20 && b <= 0x7e;
    }

    private static void octal(ByteArrayOutputStream out, byte b) {
        out.writeBytes(String.format("\\%03o", b & 0xff).getBytes(UTF_8));
    }
}
