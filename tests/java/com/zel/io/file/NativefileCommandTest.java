package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.ServerSocketChannel;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * The nativefile command run through its launcher, as a person at a terminal runs it, its output
 * checked against what coreutils and the kernel's mount table say of the same files.
 */
class NativefileCommandTest {
    private static final String NOT_FOUND =
            "[ERRNO: 002] MSG: File does not exist on system or the file name was too long. : "
                    + "The file referenced by this object does not appear to reside on disk.";
    private static final String DENIED =
            "The current user does not have sufficient authority to perform the requested operation.";
    private static final String UNKNOWN =
            "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";

    @TempDir Path dir;

    // ------------------------------------------------------------ running it

    /** The launcher's environment: this JDK, and checked JNI in the command's JVM. */
    private static Map<String, String> launcherEnv() {
        Map<String, String> env = new HashMap<>();
        env.put("JAVA_HOME", System.getProperty("java.home"));
        env.put("NATIVEFILE_JAVA_OPTIONS", "-Xcheck:jni");
        return env;
    }

    private static Child.Result run(List<String> prefix, Map<String, String> env, String... args) {
        List<String> command = new ArrayList<>(prefix);
        command.add(Child.launcher().toString());
        command.addAll(Arrays.asList(args));
        Map<String, String> environment = launcherEnv();
        environment.putAll(env);
        Child.Result r = Child.run(command, environment);
        assertFalse(Child.reportsJniProblem(r.out()) || Child.reportsJniProblem(r.err()), r.toString());
        return r;
    }

    private static Child.Result nativefile(String... args) {
        return run(List.of(), Map.of(), args);
    }

    private static Child.Result asNobody(String... args) {
        return run(Child.AS_NOBODY, Map.of(), args);
    }

    /** Runs a shell script that must succeed; its standard output. */
    private static String sh(String script, String... args) {
        List<String> command = new ArrayList<>(List.of("sh", "-ec", script, "sh"));
        command.addAll(Arrays.asList(args));
        Child.Result r = Child.run(command, Map.of());
        assertEquals(0, r.status(), r.toString());
        return r.out();
    }

    private static String coreutilsStat(String format, Path path) {
        return sh("stat -c \"$1\" \"$2\"", format, path.toString()).strip();
    }

    private static void assertSuccess(Child.Result r) {
        assertEquals(0, r.status(), r.toString());
        assertEquals("", r.err(), r.toString());
    }

    /** A failed run: status 1 and exactly these lines on standard error. */
    private static void assertFailures(Child.Result r, String... errorLines) {
        assertEquals(1, r.status(), r.toString());
        assertEquals(List.of(errorLines), r.err().lines().toList(), r.toString());
    }

    /** As nobody, on root's files and directories: refused with the library's message, nothing changed. */
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "chmod 777    | roots       | [ERRNO: 001] MSG: Unknown system error occured. : UNKNOWN",
        "chown nobody | roots       | [ERRNO: 001] MSG: Could not change ownership of file.  Permission denied. : DENIED",
        "ln target    | link        | [ERRNO: 013] MSG: Could not create the link.  Permission denied. : DENIED",
        "stat         | closed/file | [ERRNO: 013] MSG: Could not query file for information.  Permission denied. : DENIED"
    })
    void anotherUserIsRefusedAndNothingChanges(String command, String name, String message) throws Exception {
        assumeTrue(Child.isRoot(), "needs root to drop to another user");
        Child.openToAll(dir);
        Path closed = Files.createDirectory(dir.resolve("closed"));
        Files.createFile(closed.resolve("file"));
        sh("chmod 700 \"$1\"", closed.toString());
        Path roots = Files.createFile(dir.resolve("roots"));
        String before = coreutilsStat("%a %u %g", roots);
        List<String> args = new ArrayList<>(List.of(command.split(" ")));
        args.add(dir.resolve(name).toString());
        assertFailures(asNobody(args.toArray(String[]::new)),
                "nativefile: " + dir.resolve(name) + ": " + message.replace("UNKNOWN", UNKNOWN).replace("DENIED", DENIED));
        assertEquals(before, coreutilsStat("%a %u %g", roots));
        assertFalse(Files.exists(dir.resolve("link"), LinkOption.NOFOLLOW_LINKS));
    }

    // ------------------------------------------------------------ usage

    @Nested
    class Usage {
        @Test
        void helpListsEveryCommandAndEveryCommandHasItsOwn() {
            List<String> commands = List.of("stat", "chmod", "chown", "chgrp", "ln", "readlink", "unlink", "mounts", "df");
            Child.Result main = nativefile("--help");
            assertSuccess(main);
            assertTrue(main.out().startsWith("Usage: nativefile "), main.out());
            for (String command : commands) {
                assertTrue(main.out().contains("\n  " + command + " "), command);
                Child.Result own = nativefile(command, "--help");
                assertSuccess(own);
                assertTrue(own.out().startsWith("Usage: nativefile " + command + " "), own.out());
            }
        }

        @ParameterizedTest
        @CsvSource(
                delimiter = '|',
                value = {
                    "''                 | missing command                          | ''",
                    "frob /             | unknown command 'frob'                   | ''",
                    "--frob stat /      | unknown option '--frob'                  | ''",
                    "stat               | stat: missing operand                    | stat",
                    "stat --frob /      | stat: unknown option '--frob'            | stat",
                    "readlink --json /  | readlink: unknown option '--json'        | readlink",
                    "ln a               | ln: missing operand after 'a'            | ln",
                    "ln a b c           | ln: extra operand 'c'                    | ln",
                    "mounts /           | mounts: extra operand '/'                | mounts",
                    "chmod u+q FILE     | chmod: invalid mode 'u+q'                | chmod",
                    "chmod 17777 FILE   | chmod: invalid mode '17777'              | chmod",
                    "chmod 644          | chmod: missing operand after '644'       | chmod",
                    "chown : FILE       | chown: invalid owner ':'                 | chown",
                    "chown root: FILE   | chown: invalid owner 'root:'             | chown",
                })
        void usageErrorsExitWith2AndAHint(String args, String message, String command) throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            sh("chmod 640 \"$1\"", file.toString());
            String[] argv = args.isEmpty() ? new String[0] : args.replace("FILE", file.toString()).split(" ");
            Child.Result r = nativefile(argv);
            assertEquals(2, r.status(), r.toString());
            assertEquals("", r.out());
            String hint = "Try 'nativefile " + (command.isEmpty() ? "" : command + " ") + "--help'.";
            assertEquals(List.of("nativefile: " + message, hint), r.err().lines().toList());
            assertEquals("640", coreutilsStat("%a", file), "a usage error touches no file");
        }

        @Test
        void emptyOwnerOrGroupIsRefusedRatherThanTakenForRoot() throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            for (String command : List.of("chown", "chgrp")) {
                Child.Result r = nativefile(command, "", file.toString());
                assertEquals(2, r.status(), r.toString());
            }
        }

        @Test
        void debugAndTraceSwitchOnTheLibraryLogs() throws Exception {
            Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of("target"));
            assertEquals(List.of("target"), nativefile("readlink", link.toString()).lines());

            Child.Result debug = nativefile("--debug", "readlink", link.toString());
            assertSuccess(debug);
            assertTrue(debug.out().contains("Nativefile library initialized."), debug.out());
            assertTrue(debug.out().contains("Reading symlink data from: [" + link + "]"), debug.out());
            assertFalse(debug.out().contains("entering:"), debug.out());
            assertEquals("target", debug.lines().get(debug.lines().size() - 1));

            Child.Result trace = nativefile("--trace", "readlink", link.toString());
            assertSuccess(trace);
            assertTrue(trace.out().contains("> entering: [Java_com_zel_io_file_UnixNativeFile_getSymLinkValue]"), trace.out());
            assertFalse(trace.out().contains("Reading symlink data"), trace.out());
        }

        @Test
        void theJarRunsAloneButCannotSwitchTheLogsOnItself() {
            String jar = Child.launcher().resolveSibling("nativefile.jar").toString();
            String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
            Child.Result plain = Child.run(List.of(java, "-jar", jar, "stat", "/"), Map.of());
            assertSuccess(plain);
            assertEquals(coreutilsStat("%A %a %U %G /", Path.of("/")), plain.out().strip().replaceAll(" +", " "));

            Child.Result debug = Child.run(List.of(java, "-jar", jar, "--debug", "stat", "/"), Map.of());
            assertEquals(2, debug.status(), debug.toString());
            assertTrue(debug.err().contains("__JNI_NATIVEFILE_DEBUG"), debug.err());
        }

        @Test
        void theLauncherInTheSourceTreeTakesTheJarFromTheEnvironment() {
            String launcher = Path.of(System.getProperty("nativefile.source"), "bin", "nativefile").toString();
            String jar = Child.launcher().resolveSibling("nativefile.jar").toString();
            Map<String, String> env = launcherEnv();
            env.put("NATIVEFILE_JAR", jar);
            assertSuccess(Child.run(List.of(launcher, "readlink", "/proc/self"), env));

            env.put("NATIVEFILE_JAR", dir.resolve("none.jar").toString());
            Child.Result missing = Child.run(List.of(launcher, "stat", "/"), env);
            assertEquals(1, missing.status());
            assertTrue(missing.err().startsWith("nativefile: no jar at " + dir.resolve("none.jar")), missing.err());
        }
    }

    // ------------------------------------------------------------ stat

    @Nested
    class Stat {
        /** Files of every kind the command can show, with their special bits. */
        private List<Path> kindsOfFiles() throws Exception {
            Path setUid = Files.createFile(dir.resolve("setuid"));
            Path sticky = Files.createDirectory(dir.resolve("sticky"));
            Path setGidNoExecute = Files.createFile(dir.resolve("setgid"));
            Path fifo = dir.resolve("fifo");
            Path socket = dir.resolve("socket");
            sh(
                    "chmod 4755 \"$1\"; chmod 1777 \"$2\"; chmod 2640 \"$3\"; mkfifo -m 600 \"$4\"",
                    setUid.toString(), sticky.toString(), setGidNoExecute.toString(), fifo.toString());
            try (ServerSocketChannel server = ServerSocketChannel.open(StandardProtocolFamily.UNIX)) {
                server.bind(UnixDomainSocketAddress.of(socket));
            }
            Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of("setuid"));
            Path dangling = Files.createSymbolicLink(dir.resolve("dangling"), dir.resolve("missing"));
            return List.of(setUid, sticky, setGidNoExecute, fifo, socket, link, dangling, Path.of("/dev/null"));
        }

        /** What the command must print for a path, from coreutils. */
        private String expectedLine(Path path) {
            String line = coreutilsStat("%A %a %U %G", path);
            if (line.contains("UNKNOWN")) {
                line = coreutilsStat("%A %a %u %g", path);
            }
            line += " " + path;
            if (Files.isSymbolicLink(path)) {
                line += " -> " + sh("readlink \"$1\"", path.toString()).strip();
            }
            return line;
        }

        @Test
        void showsWhatCoreutilsShowsInAlignedColumns() throws Exception {
            List<Path> files = kindsOfFiles();
            Child.Result r = stat(files.stream().map(Path::toString).toArray(String[]::new));
            assertSuccess(r);
            List<String> lines = r.lines();
            assertEquals(files.size(), lines.size(), r.out());
            Set<Integer> pathColumn = new HashSet<>();
            for (int i = 0; i < files.size(); i++) {
                assertEquals(expectedLine(files.get(i)), lines.get(i).replaceAll(" +", " "));
                pathColumn.add(lines.get(i).indexOf(" " + files.get(i)));
            }
            assertEquals(1, pathColumn.size(), "aligned:\n" + r.out());
        }

        private Child.Result stat(String... paths) {
            List<String> args = new ArrayList<>(List.of("stat"));
            args.addAll(List.of(paths));
            return nativefile(args.toArray(String[]::new));
        }

        @Test
        void ownersAndGroupsShowByNameOrByIdWhenUnlisted() throws Exception {
            assumeTrue(Child.isRoot(), "needs root to give files away");
            Path nobodys = Files.createFile(dir.resolve("nobodys"));
            Path unlisted = Files.createFile(dir.resolve("unlisted"));
            Path link = Files.createSymbolicLink(dir.resolve("link"), unlisted);
            sh("chown 65534:65534 \"$1\"; chown 4242:4243 \"$2\"; chown -h 4244 \"$3\"",
                    nobodys.toString(), unlisted.toString(), link.toString());
            Child.Result r = stat(nobodys.toString(), unlisted.toString(), link.toString());
            assertSuccess(r);
            assertEquals(expectedLine(nobodys), r.lines().get(0).replaceAll(" +", " "));
            assertTrue(r.lines().get(1).matches("-\\S+ +\\d+ 4242 +4243 +" + Pattern.quote(unlisted.toString())), r.out());
            assertTrue(r.lines().get(2).matches("l\\S+ +777 4244 +root .*"), r.out());
        }

        @Test
        void jsonHasAnObjectPerPathWithCoreutilsFigures() throws Exception {
            List<Path> files = kindsOfFiles();
            List<String> args = new ArrayList<>(List.of("stat", "--json"));
            files.forEach(f -> args.add(f.toString()));
            Child.Result r = nativefile(args.toArray(String[]::new));
            assertSuccess(r);
            List<Map<String, Object>> objects = MiniJson.parseObjects(r.out());
            assertEquals(files.size(), objects.size());
            for (int i = 0; i < files.size(); i++) {
                Path file = files.get(i);
                Map<String, Object> object = objects.get(i);
                String[] stat = coreutilsStat("%A|%a|%U|%G", file).split("\\|");
                boolean link = Files.isSymbolicLink(file);
                Map<String, Object> expected = new LinkedHashMap<>();
                expected.put("path", file.toString());
                expected.put("type", stat[0].substring(0, 1));
                expected.put("mode", stat[0]);
                expected.put("octal", stat[1]);
                expected.put("owner", stat[2]);
                expected.put("group", stat[3]);
                expected.put("symlink", link);
                expected.put("target", link ? sh("readlink \"$1\"", file.toString()).strip() : null);
                assertEquals(expected, object);
            }
        }

        @Test
        void aMissingPathIsReportedAndTheNextOneStillShown() throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            Path missing = dir.resolve("missing");
            Child.Result r = stat(missing.toString(), file.toString());
            assertFailures(r, "nativefile: " + missing + ": " + NOT_FOUND);
            assertEquals(List.of(expectedLine(file)), r.lines().stream().map(l -> l.replaceAll(" +", " ")).toList());

            Child.Result json = nativefile("stat", "--json", missing.toString());
            assertFailures(json, "nativefile: " + missing + ": " + NOT_FOUND);
            assertEquals(List.of(), MiniJson.parse(json.out()));
        }

    }

    // ------------------------------------------------------------ chmod

    @Nested
    class Chmod {
        @Test
        void modesLandAsCoreutilsChmodPutsThem() throws Exception {
            Path ours = Files.createFile(dir.resolve("ours"));
            Path theirs = Files.createFile(dir.resolve("theirs"));
            Path ourDir = Files.createDirectory(dir.resolve("ourDir"));
            Path theirDir = Files.createDirectory(dir.resolve("theirDir"));
            for (String mode : List.of("4755", "u=rwx,g=rx,o=", "g+s", "-w", "a+X")) {
                assertSuccess(nativefile("chmod", mode, ours.toString()));
                sh("chmod -- \"$1\" \"$2\"", mode, theirs.toString());
                assertEquals(coreutilsStat("%a", theirs), coreutilsStat("%a", ours), mode);
            }
            assertSuccess(nativefile("chmod", "+t", ourDir.toString()));
            sh("chmod +t \"$1\"", theirDir.toString());
            assertEquals(coreutilsStat("%A", theirDir), coreutilsStat("%A", ourDir));
        }

        @Test
        void everyPathIsTriedAndEachFailureReported() throws Exception {
            Path first = Files.createFile(dir.resolve("first"));
            Path missing = dir.resolve("missing");
            Path last = Files.createFile(dir.resolve("last"));
            Child.Result r = nativefile("chmod", "2751", first.toString(), missing.toString(), last.toString());
            assertFailures(r, "nativefile: " + missing + ": " + NOT_FOUND);
            assertEquals("", r.out());
            assertEquals("2751", coreutilsStat("%a", first));
            assertEquals("2751", coreutilsStat("%a", last));
        }

        @Test
        void aLinkIsLeftAloneAndSoIsItsTarget() throws Exception {
            Path target = Files.createFile(dir.resolve("target"));
            sh("chmod 644 \"$1\"", target.toString());
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            assertSuccess(nativefile("chmod", "4700", link.toString()));
            assertEquals("644", coreutilsStat("%a", target));
            assertEquals("lrwxrwxrwx", coreutilsStat("%A", link));
        }

    }

    // ------------------------------------------------------------ chown, chgrp

    @Nested
    class Ownership {
        @Test
        void namesAndIdsChangeOwnerAndGroup() throws Exception {
            assumeTrue(Child.isRoot(), "needs root to give files away");
            Path both = Files.createFile(dir.resolve("both"));
            Path ownerOnly = Files.createFile(dir.resolve("owner"));
            Path groupOnly = Files.createFile(dir.resolve("group"));
            Path chgrp = Files.createFile(dir.resolve("chgrp"));
            assertSuccess(nativefile("chown", "nobody:4243", both.toString()));
            assertSuccess(nativefile("chown", "4242", ownerOnly.toString()));
            assertSuccess(nativefile("chown", ":nogroup", groupOnly.toString()));
            assertSuccess(nativefile("chgrp", "4244", chgrp.toString()));
            assertEquals("65534 4243", coreutilsStat("%u %g", both));
            assertEquals("4242 0", coreutilsStat("%u %g", ownerOnly));
            assertEquals("0 65534", coreutilsStat("%u %g", groupOnly));
            assertEquals("0 4244", coreutilsStat("%u %g", chgrp));
        }

        @Test
        void aLinkIsChangedItselfNotItsTarget() throws Exception {
            assumeTrue(Child.isRoot(), "needs root to give files away");
            Path target = Files.createFile(dir.resolve("target"));
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            assertSuccess(nativefile("chown", "4242:4243", link.toString()));
            assertEquals("4242 4243", coreutilsStat("%u %g", link));
            assertEquals("0 0", coreutilsStat("%u %g", target));
        }

        @Test
        void unknownNamesAreReportedForEachPath() throws Exception {
            Path a = Files.createFile(dir.resolve("a"));
            Path b = Files.createFile(dir.resolve("b"));
            String noUser =
                    ": [ERRNO: 000] MSG: The username passed down does not appear to exist on the system.  Cannot re-assign. : "
                            + "A file was attempted to be assigned to an invalid user.";
            assertFailures(
                    nativefile("chown", "no-such-user-8", a.toString(), b.toString()),
                    "nativefile: " + a + noUser,
                    "nativefile: " + b + noUser);
            Child.Result group = nativefile("chgrp", "no-such-group-8", a.toString());
            assertFailures(
                    group,
                    "nativefile: " + a + ": [ERRNO: 000] MSG: Problems retrieving GID information.  The string was an invalid GID, and it couldn't be mapped to a groupname, either. : A file was attempted to be assigned to an invalid group.");
        }

    }

    // ------------------------------------------------------------ ln, readlink, unlink

    @Nested
    class Links {
        @Test
        void lnMakesTheLinkThatReadlinkReads() throws Exception {
            Path relative = dir.resolve("relative");
            Path absolute = dir.resolve("absolute");
            assertSuccess(nativefile("ln", "no/such target", relative.toString()));
            assertSuccess(nativefile("ln", "/etc/hostname", absolute.toString()));
            assertEquals("no/such target", sh("readlink \"$1\"", relative.toString()).strip());
            Child.Result r = nativefile("readlink", relative.toString(), absolute.toString());
            assertSuccess(r);
            assertEquals(List.of("no/such target", "/etc/hostname"), r.lines());
        }

        @Test
        void lnLeavesAnExistingEntryAndSaysSo() throws Exception {
            Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of("old"));
            Path file = Files.writeString(dir.resolve("file"), "kept");
            assertFailures(nativefile("ln", "new", link.toString()), "nativefile: " + link + ": File exists");
            assertFailures(nativefile("ln", "new", file.toString()), "nativefile: " + file + ": File exists");
            assertEquals(Path.of("old"), Files.readSymbolicLink(link));
            assertEquals("kept", Files.readString(file));
        }

        @Test
        void readlinkOfSomethingElseIsAnError() throws Exception {
            Path file = Files.createFile(dir.resolve("file"));
            Path link = Files.createSymbolicLink(dir.resolve("link"), file);
            Child.Result r = nativefile("readlink", file.toString(), link.toString());
            assertFailures(r, "nativefile: " + file + ": [ERRNO: 022] MSG: System error occured. : " + UNKNOWN);
            assertEquals(List.of(file.toString()), r.lines());
        }

        @Test
        void unlinkRemovesTheLinkAndKeepsItsTarget() throws Exception {
            Path target = Files.createFile(dir.resolve("target"));
            Path link = Files.createSymbolicLink(dir.resolve("link"), target);
            Path missing = dir.resolve("missing");
            assertFailures(
                    nativefile("unlink", link.toString(), missing.toString()),
                    "nativefile: " + missing + ": [ERRNO: 002] MSG: Symlink does not exist on system or the symlink name was too long. : "
                            + "The file referenced by this object does not appear to reside on disk.");
            assertFalse(Files.exists(link, LinkOption.NOFOLLOW_LINKS));
            assertTrue(Files.exists(target));
        }

    }

    // ------------------------------------------------------------ mounts, df

    @Nested
    class Space {
        private static final Pattern SECTION = Pattern.compile("(?m)^@@ (\\S+)\\n");

        /** Splits a script's output at its "@@ name" lines. */
        private Map<String, String> sections(String out) {
            Map<String, String> sections = new HashMap<>();
            Matcher m = SECTION.matcher(out);
            String name = null;
            int start = 0;
            while (m.find()) {
                if (name != null) {
                    sections.put(name, out.substring(start, m.start()));
                }
                name = m.group(1);
                start = m.end();
            }
            sections.put(name, out.substring(start));
            return sections;
        }

        @Test
        void mountsListsTheKernelsTableInItsOrder() throws Exception {
            Child.Result r = nativefile("mounts", "--json");
            List<String> table = Child.mountPoints(Files.readString(Path.of("/proc/self/mounts")));
            assertSuccess(r);
            List<String> listed = MiniJson.parseObjects(r.out()).stream().map(o -> (String) o.get("mountPoint")).toList();
            assertEquals(table, listed);
        }

        // A private namespace with tmpfs mounts of known size: one with a space
        // in its name, one hidden under a later mount, one below a closed
        // directory.
        private String privateMounts() {
            return "cd '" + dir + "'\n"
                    + "mkdir -p small 'with space' hide/inner closed/inner\n"
                    + "mount -t tmpfs -o size=64m tmpfs small\n"
                    + "mount -t tmpfs -o size=8m tmpfs 'with space'\n"
                    + "mount -t tmpfs -o size=4m tmpfs hide/inner\n"
                    + "mount -t tmpfs -o size=4m tmpfs hide\n"
                    + "mount -t tmpfs -o size=4m tmpfs closed/inner\n"
                    + "chmod 700 closed\n"
                    + "head -c 1048576 /dev/zero > small/file\n";
        }

        /**
         * Runs a script in the private namespace, where $1 is the launcher and the function nobody
         * runs a command as nobody; its output split into sections.
         */
        private Map<String, String> inPrivateMounts(String script) {
            assumeTrue(Child.isRoot(), "needs root for a private mount namespace");
            Child.openToAll(dir);
            List<String> command = new ArrayList<>(Child.inPrivateMounts(privateMounts()));
            String nobody = "nobody() { " + String.join(" ", Child.AS_NOBODY) + " \"$@\"; }\n";
            command.addAll(List.of("sh", "-ec", nobody + script, "sh", Child.launcher().toString()));
            Child.Result r = Child.run(command, launcherEnv());
            assertEquals(0, r.status(), r.toString());
            assertFalse(Child.reportsJniProblem(r.out()) || Child.reportsJniProblem(r.err()), r.toString());
            return sections(r.out());
        }

        @Test
        void mountsShowsSizesAsDfDoesAndDashesWhereNothingCanBeMeasured() throws Exception {
            Map<String, String> out =
                    inPrivateMounts(
                            "echo '@@ json'; \"$1\" mounts --json\n"
                                    + "echo '@@ text'; \"$1\" mounts\n"
                                    + "echo '@@ nobody'; nobody \"$1\" mounts --json\n"
                                    + "echo '@@ table'; cat /proc/self/mounts\n"
                                    + "echo '@@ df'; df -B1 --output=size,avail,pcent small | tail -1\n"
                                    + "echo '@@ dfh'; df -h --output=size,avail,pcent small | tail -1\n");
            List<String> table = Child.mountPoints(out.get("table"));
            Map<String, Map<String, Object>> byPoint = new HashMap<>();
            List<String> listed = new ArrayList<>();
            for (Map<String, Object> o : MiniJson.parseObjects(out.get("json"))) {
                assertEquals(Set.of("mountPoint", "size", "free", "usePercent"), o.keySet());
                listed.add((String) o.get("mountPoint"));
                byPoint.put((String) o.get("mountPoint"), o);
            }
            assertEquals(table, listed);

            String[] df = out.get("df").trim().split(" +");
            Map<String, Object> small = byPoint.get(dir.resolve("small").toString());
            assertEquals(67108864L, small.get("size"));
            assertEquals(Long.parseLong(df[0]), small.get("size"));
            assertEquals(Long.parseLong(df[1]), small.get("free"), "tmpfs reserves nothing for root");
            assertEquals(Long.parseLong(df[2].replace("%", "")), small.get("usePercent"));
            assertEquals(8388608L, byPoint.get(dir.resolve("with space").toString()).get("size"));
            Map<String, Object> hidden = byPoint.get(dir.resolve("hide/inner").toString());
            assertNull(hidden.get("size"));
            assertNull(hidden.get("free"));
            assertNull(hidden.get("usePercent"));
            assertEquals(4194304L, byPoint.get(dir.resolve("closed/inner").toString()).get("size"));

            Map<String, Object> closedForNobody =
                    MiniJson.parseObjects(out.get("nobody")).stream()
                            .filter(o -> o.get("mountPoint").equals(dir.resolve("closed/inner").toString()))
                            .findFirst()
                            .orElseThrow();
            assertNull(closedForNobody.get("size"), "nobody cannot reach it");

            List<String> lines = out.get("text").lines().toList();
            assertEquals("Size Free Use% Mounted on", lines.get(0).strip().replaceAll(" +", " "));
            assertEquals(table.size() + 1, lines.size());
            for (int i = 1; i < lines.size(); i++) {
                assertTrue(lines.get(i).endsWith(" " + table.get(i - 1)), lines.get(i));
                assertEquals(lines.get(0).length() - "Mounted on".length(), lines.get(i).length() - table.get(i - 1).length(), "aligned");
            }
            String dfh = out.get("dfh").trim().replaceAll(" +", " ");
            assertEquals(dfh + " " + dir.resolve("small"), lineFor(lines, dir.resolve("small")).strip().replaceAll(" +", " "));
            assertEquals("- - - " + dir.resolve("hide/inner"), lineFor(lines, dir.resolve("hide/inner")).strip().replaceAll(" +", " "));
        }

        private String lineFor(List<String> lines, Path mountPoint) {
            return lines.stream().filter(l -> l.endsWith(" " + mountPoint)).findFirst().orElseThrow();
        }

        @Test
        void dfMeasuresTheFileSystemsThatHoldThePaths() throws Exception {
            Map<String, String> out =
                    inPrivateMounts(
                            "echo '@@ json'; \"$1\" df --json small/file missing 'with space' || printf '@@ status\\n%s\\n' $?\n"
                                    + "echo '@@ text'; \"$1\" df small/file 'with space' 2>&1\n"
                                    + "echo '@@ nobody'; nobody \"$1\" df closed/inner 2>&1 || printf '@@ nobodyStatus\\n%s\\n' $?\n"
                                    + "echo '@@ df'; df -B1 --output=size,avail,pcent small/file | tail -1\n"
                                    + "echo '@@ dfh'; df -h --output=size,avail,pcent small/file 'with space' | tail -2\n");
            assertEquals("1\n", out.get("status"));
            List<Map<String, Object>> objects = MiniJson.parseObjects(out.get("json"));
            assertEquals(List.of("small/file", "with space"), objects.stream().map(o -> o.get("path")).toList());
            String[] df = out.get("df").trim().split(" +");
            assertEquals(Long.parseLong(df[0]), objects.get(0).get("size"));
            assertEquals(Long.parseLong(df[1]), objects.get(0).get("free"));
            assertEquals(Long.parseLong(df[2].replace("%", "")), objects.get(0).get("usePercent"));
            assertEquals(2L, objects.get(0).get("usePercent"), "1 MiB of 64 MiB, rounded up");

            List<String> dfh = out.get("dfh").lines().map(l -> l.trim().replaceAll(" +", " ")).toList();
            List<String> text = out.get("text").lines().toList();
            assertEquals("Size Free Use% Path", text.get(0).strip().replaceAll(" +", " "));
            assertEquals(dfh.get(0) + " small/file", text.get(1).strip().replaceAll(" +", " "));
            assertEquals(dfh.get(1) + " with space", text.get(2).strip().replaceAll(" +", " "));

            assertEquals(
                    "nativefile: closed/inner: [ERRNO: 013] MSG: Could not access denoted path for space determination.  Permission denied. : " + DENIED + "\n",
                    out.get("nobody"));
            assertEquals("1\n", out.get("nobodyStatus"));
        }

        @Test
        void dfReportsAMissingPath() {
            Path missing = dir.resolve("missing");
            Child.Result r = nativefile("df", missing.toString());
            assertFailures(
                    r,
                    "nativefile: " + missing + ": [ERRNO: 002] MSG: The path does not exist on the system or the path was too long. : "
                            + "The file referenced by this object does not appear to reside on disk.");
        }
    }
}
