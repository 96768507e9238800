package com.zel.io.file.cli;

import com.zel.io.file.FileCapabilities;
import java.util.List;

/** nativefile setcap: sets or removes a file's capability set, as setcap does. */
final class SetcapCommand extends Command {
    SetcapCommand() {
        super(
                "setcap",
                "(CAPS | -r) PATH",
                "Set or remove the capabilities of a file",
                """
                CAPS is a capability set as setcap takes it: cap_net_bind_service=ep, or
                clauses separated by blanks such as "cap_chown,cap_kill+ep cap_fowner+i". It
                replaces the file's set; a text that does not parse (an unknown name among
                them) changes nothing. Needs root.

                  -r   remove the file's set; as with setcap -r, a file without one fails

                PATH must be a regular file: a symbolic link is not followed.
                """,
                "-r");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        boolean remove = options.flags().contains("-r");
        List<String> operands = operands(options, remove ? 1 : 2, remove ? 1 : 2);
        String path = operands.get(operands.size() - 1);
        console.forEach(
                List.of(path),
                p -> {
                    if (remove) {
                        FileCapabilities.remove(path(p));
                    } else {
                        FileCapabilities.set(path(p), operands.get(0));
                    }
                });
        return console.status();
    }
}
