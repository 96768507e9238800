package com.zel.io.file.cli;

import com.zel.io.file.exception.ExtendedIOException;
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

/** Where a command writes, and whether anything it worked on failed. */
final class Console {
    /** One command's work on one path. */
    interface PathAction {
        void apply(String path) throws ExtendedIOException;
    }

    /** One command's report on one path: prints its plain lines unless asked for JSON, and returns its JSON object. */
    interface PathReport {
        String report(String path) throws ExtendedIOException;
    }

    final PrintStream out;
    final PrintStream err;
    private boolean failed;

    Console(PrintStream out, PrintStream err) {
        this.out = out;
        this.err = err;
    }

    /**
     * A text's bytes as the library hands it to the system: standard UTF-8, each U+DC80..U+DCFF
     * the raw byte it keeps, so that a name that is no UTF-8 comes out as the system holds it.
     */
    static byte[] bytes(String text) {
        ByteArrayOutputStream out = new ByteArrayOutputStream(text.length());
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c >= 0xDC80 && c <= 0xDCFF) {
                out.write(c - 0xDC00);
            } else {
                int end = Character.isHighSurrogate(c) && i + 1 < text.length() ? i + 2 : i + 1;
                out.writeBytes(text.substring(i, end).getBytes(StandardCharsets.UTF_8));
                i = end - 1;
            }
        }
        return out.toByteArray();
    }

    /** Writes a line of names or texts read from the system, as the system holds them. */
    void line(String text) {
        out.writeBytes(bytes(text + "\n"));
    }

    /** Reports one failure on standard error; the command goes on with what is left. */
    void fail(String what, String message) {
        err.println("nativefile: " + what + ": " + message);
        failed = true;
    }

    /** Applies the action to each path in turn; a path that fails is reported and passed over. */
    void forEach(List<String> paths, PathAction action) {
        for (String path : paths) {
            try {
                action.apply(path);
            } catch (ExtendedIOException e) {
                fail(path, e.getMessage());
            }
        }
    }

    /**
     * Reports on each path in turn as {@link #forEach} does; with {@code json}, prints the reports' objects as one
     * array at the end. Returns the exit status.
     */
    int report(List<String> paths, boolean json, PathReport report) {
        List<String> objects = new ArrayList<>();
        forEach(paths, path -> objects.add(report.report(path)));
        if (json) {
            Json.printArray(out, objects);
        }
        return status();
    }

    /** The exit status: 0 when everything succeeded, 1 when anything failed. */
    int status() {
        return failed ? 1 : 0;
    }
}
