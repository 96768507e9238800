package com.zel.io.file.cli;

import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;

/** Rows printed in aligned columns, one space apart; the last column is never padded. */
final class Table {
    private final String alignment;
    private final List<String[]> rows = new ArrayList<>();

    /** @param alignment one letter per column: 'l' aligns it left, 'r' right */
    Table(String alignment) {
        this.alignment = alignment;
    }

    void add(String... cells) {
        rows.add(cells);
    }

    void print(PrintStream out) {
        lines().forEach(line -> out.writeBytes(Console.bytes(line + "\n")));
    }

    /** The rows as print prints them, without their line ends. */
    List<String> lines() {
        List<String> lines = new ArrayList<>();
        int[] widths = new int[alignment.length()];
        for (String[] row : rows) {
            for (int i = 0; i < row.length; i++) {
                widths[i] = Math.max(widths[i], width(row[i]));
            }
        }
        for (String[] row : rows) {
            StringBuilder line = new StringBuilder();
            for (int i = 0; i < row.length; i++) {
                String padding = " ".repeat(widths[i] - width(row[i]));
                boolean last = i == row.length - 1;
                if (i > 0) {
                    line.append(' ');
                }
                if (alignment.charAt(i) == 'r') {
                    line.append(padding).append(row[i]);
                } else {
                    line.append(row[i]).append(last ? "" : padding);
                }
            }
            lines.add(line.toString());
        }
        return lines;
    }

    private static int width(String cell) {
        return cell.codePointCount(0, cell.length());
    }
}
