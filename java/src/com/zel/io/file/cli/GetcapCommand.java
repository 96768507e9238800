package com.zel.io.file.cli;

import com.zel.io.file.FileCapabilities;
import java.util.Optional;

/** nativefile getcap: the capability set of each file, as getcap prints it. */
final class GetcapCommand extends Command {
    GetcapCommand() {
        super(
                "getcap",
                "PATH...",
                "Show the capabilities of files",
                """
                Prints what getcap prints: a line "PATH CAPS" for each file with a capability
                set, CAPS in setcap's text form (cap_net_bind_service=ep; = for a set that
                grants nothing), and nothing for a file without one. A symbolic link, a
                directory or a device has no capabilities and is an error; getcap passes
                over them silently.

                  --json   a JSON array instead, an object per path with the keys path and
                           capabilities (null for a file without a set)
                """,
                "--json");
    }

    @Override
    int run(Options options, Console console) throws UsageException {
        return console.report(
                operands(options, 1, Integer.MAX_VALUE),
                options.json(),
                path -> {
                    Optional<String> caps = FileCapabilities.get(path(path));
                    if (!options.json()) {
                        caps.ifPresent(text -> console.out.println(path + " " + text));
                    }
                    return Json.object("path", path, "capabilities", caps.orElse(null));
                });
    }
}
