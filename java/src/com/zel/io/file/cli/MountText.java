package com.zel.io.file.cli;

/**
 * Mount points and sources as findmnt and df print them. The library hands a byte that is no
 * UTF-8 to Java as the lone surrogate U+DC00 plus the byte; here it becomes that byte again.
 */
final class MountText {
    private MountText() {}

    /**
     * The text as findmnt -r prints it: blanks, control characters, backslash and every byte
     * outside ASCII as \xHH, so that a field never holds a space.
     */
    static String raw(String text) {
        StringBuilder raw = new StringBuilder();
        for (byte b : Console.bytes(text)) {
            int u = b & 0xff;
            raw.append(u <= ' ' || u >= 0x7f || u == '\\' ? String.format("\\x%02x", u) : String.valueOf((char) u));
        }
        return raw.toString();
    }

    /** The text as df prints it: control characters as ?, every other byte as it is. */
    static byte[] df(String text) {
        byte[] bytes = Console.bytes(text);
        for (int i = 0; i < bytes.length; i++) {
            if ((bytes[i] & 0xff) < ' ' || bytes[i] == 0x7f) {
                bytes[i] = '?';
            }
        }
        return bytes;
    }
}
