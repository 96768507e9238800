package com.zel.io.file.cli;

import com.zel.io.file.NativeFileVersion;
import java.util.List;

/**
 * The {@code nativefile} command: shows and changes, through the native library, the Unix
 * attributes of files that Java alone can't. Run {@code nativefile --help} for its commands.
 */
public final class Main {
    static final List<Command> COMMANDS =
            List.of(
                    new StatCommand(),
                    new ChmodCommand(),
                    OwnershipCommand.chown(),
                    OwnershipCommand.chgrp(),
                    new XattrCommand(),
                    new LsattrCommand(),
                    new ChattrCommand(),
                    new GetfaclCommand(),
                    new SetfaclCommand(),
                    new GetcapCommand(),
                    new SetcapCommand(),
                    new LnCommand(),
                    PathCommand.readlink(),
                    PathCommand.unlink(),
                    new MountsCommand(),
                    new DfCommand(),
                    new LsCommand(),
                    new ManifestCommand());

    private Main() {}

    /**
     * Runs the command line and exits with its status: 0 when everything succeeded, 1 when any
     * path failed, 2 for a usage error.
     *
     * @param args the command and its arguments
     */
    public static void main(String[] args) {
        int status = run(List.of(args), new Console(System.out, System.err));
        System.out.flush();
        System.exit(status);
    }

    static int run(List<String> args, Console console) {
        try {
            return dispatch(args, console);
        } catch (UsageException e) {
            String prefix = e.command == null ? "" : e.command.name() + ": ";
            String help = e.command == null ? "" : e.command.name() + " ";
            console.err.println("nativefile: " + prefix + e.getMessage());
            console.err.println("Try 'nativefile " + help + "--help'.");
            return 2;
        }
    }

    private static int dispatch(List<String> args, Console console) throws UsageException {
        int next = 0;
        for (; next < args.size() && args.get(next).startsWith("-"); next++) {
            switch (args.get(next)) {
                case "--help" -> {
                    console.out.print(help());
                    return 0;
                }
                case "--version" -> {
                    console.out.println("nativefile " + NativeFileVersion.get());
                    return 0;
                }
                case "--debug" -> requireLogSwitch("--debug", "__JNI_NATIVEFILE_DEBUG");
                case "--trace" -> requireLogSwitch("--trace", "__JNI_NATIVEFILE_ENTRYEXIT");
                default -> throw new UsageException(null, "unknown option '" + args.get(next) + "'");
            }
        }
        if (next == args.size()) {
            throw new UsageException(null, "missing command");
        }
        String name = args.get(next);
        Command command =
                COMMANDS.stream()
                        .filter(c -> c.name().equals(name))
                        .findFirst()
                        .orElseThrow(() -> new UsageException(null, "unknown command '" + name + "'"));
        Options options = command.parse(args.subList(next + 1, args.size()));
        if (options.help()) {
            console.out.print(command.help());
            return 0;
        }
        return command.run(options, console);
    }

    // The library reads its log switches once, as it loads: an option can only
    // confirm what the launcher put into the environment before the JVM started.
    private static void requireLogSwitch(String option, String variable) throws UsageException {
        if (System.getenv(variable) == null) {
            throw new UsageException(
                    null, option + " needs " + variable + " set before Java starts; bin/nativefile sets it");
        }
    }

    static String help() {
        StringBuilder text =
                new StringBuilder(
                        """
                        Usage: nativefile [--debug] [--trace] COMMAND [ARGUMENT]...
                               nativefile --version
                        Shows and changes the Unix attributes of files that Java alone can't, through
                        the native library libNativeFile. A final symbolic link is never followed.

                        Commands:
                        """);
        for (Command command : COMMANDS) {
            text.append(String.format("  %-9s %s%n", command.name(), command.summary()));
        }
        return text.append(
                        """

                        Options:
                          --debug   the library's debug log, on standard output
                          --trace   the library's entry and exit trace, on standard output
                          --help    this help; 'nativefile COMMAND --help' shows a command's
                          --version the version of nativefile, which its library shares

                        The library reads its log switches as it loads: bin/nativefile sets
                        __JNI_NATIVEFILE_DEBUG or __JNI_NATIVEFILE_ENTRYEXIT for --debug or --trace
                        before it starts Java.

                        Exit status: 0 when all succeeded, 1 when any path failed, 2 for a usage error.
                        """)
                .toString();
    }
}
