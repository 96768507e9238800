package com.zel.io.file.cli;

import java.util.List;
import java.util.Set;

/**
 * A command's arguments sorted: whether help was asked for, the options given and the operands.
 */
record Options(boolean help, Set<String> flags, List<String> operands) {
    boolean json() {
        return flags.contains("--json");
    }
}
