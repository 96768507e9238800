package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertFalse;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import java.util.function.Consumer;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/** Child JVMs for the cases that need another user, mount namespace or environment. */
final class Child {
    /** Prefix that runs a command as the unprivileged user nobody, without groups. */
    static final List<String> AS_NOBODY =
            List.of("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups");

    /** Every text that checked JNI prints about a misuse (HotSpot's wording), on either stream. */
    static final Pattern JNI_PROBLEM =
            Pattern.compile(
                    "in native method|WARNING: JNI|JNI local refs: \\d+, exceeds capacity"
                            + "|Warning: Calling other JNI functions|Warning: [A-Z0-9]+ handler modified");

    private static Path sharedJars;

    private Child() {}

    /** The outcome of one child process. */
    record Result(int status, String out, String err) {
        List<String> lines() {
            return out.lines().toList();
        }

        /** The one line a single probe call printed. */
        String line() {
            List<String> lines = lines();
            if (status != 0 || lines.isEmpty()) {
                throw new AssertionError("child failed (" + status + "): " + out + err);
            }
            return lines.get(lines.size() - 1);
        }
    }

    static boolean isRoot() {
        return new com.sun.security.auth.module.UnixSystem().getUid() == 0;
    }

    /**
     * Prefix that runs a command in a private mount namespace after a shell setup script; the
     * script's mounts vanish with the namespace.
     */
    static List<String> inPrivateMounts(String setup) {
        return List.of(
                "unshare", "-m", "--propagation", "private", "sh", "-ec", setup + "\nexec \"$@\"", "sh");
    }

    /** Runs Probe with the given calls, in a JVM started behind the prefix. */
    static Result probe(List<String> prefix, String... calls) {
        return java(prefix, Map.of(), List.of(), Probe.class.getName(), calls);
    }

    static Result probe(String... calls) {
        return probe(List.of(), calls);
    }

    /**
     * Runs a class of the test jar in a child JVM behind the prefix. The child's environment is
     * this one's without the library's log switches, plus env; it runs in checked JNI mode and
     * must print no JNI warning.
     */
    static Result java(
            List<String> prefix,
            Map<String, String> env,
            List<String> jvmOptions,
            String mainClass,
            String... args) {
        Result result = run(javaCommand(prefix, jvmOptions, mainClass, args), env);
        assertFalse(
                reportsJniProblem(result.out()) || reportsJniProblem(result.err()),
                "JNI problem in child: " + result);
        return result;
    }

    /** The command that starts a class of the test jar in checked JNI mode behind the prefix. */
    static List<String> javaCommand(
            List<String> prefix, List<String> jvmOptions, String mainClass, String... args) {
        List<String> command = new ArrayList<>(prefix);
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        command.add("-Xcheck:jni");
        command.addAll(jvmOptions);
        command.add("-cp");
        command.add(classpath());
        command.add(mainClass);
        command.addAll(Arrays.asList(args));
        return command;
    }

    /** Checked JNI's complaints: misuse "in native method", and warnings such as local refs. */
    static boolean reportsJniProblem(String output) {
        return JNI_PROBLEM.matcher(output).find();
    }

    /** Runs any command with this environment less the log switches, plus env (null removes). */
    static Result run(List<String> command, Map<String, String> env) {
        return run(command, env, null);
    }

    /**
     * As run(command, env), but when outLines is not null each line of standard output goes to it
     * as it comes, and the result's out stays empty: for children that print more than memory
     * should hold.
     */
    static Result run(List<String> command, Map<String, String> env, Consumer<String> outLines) {
        ProcessBuilder builder = new ProcessBuilder(command);
        Map<String, String> environment = builder.environment();
        environment.remove("__JNI_NATIVEFILE_DEBUG");
        environment.remove("__JNI_NATIVEFILE_ENTRYEXIT");
        env.forEach(
                (key, value) -> {
                    if (value == null) {
                        environment.remove(key);
                    } else {
                        environment.put(key, value);
                    }
                });
        try {
            Process process = builder.start();
            process.getOutputStream().close();
            CompletableFuture<String> err =
                    CompletableFuture.supplyAsync(() -> read(process.getErrorStream()));
            String out = outLines == null ? read(process.getInputStream()) : stream(process.getInputStream(), outLines);
            if (!process.waitFor(120, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                throw new AssertionError("child did not end: " + command);
            }
            return new Result(process.exitValue(), out, err.join());
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new AssertionError(e);
        }
    }

    private static String stream(java.io.InputStream in, Consumer<String> lines) {
        try (var reader = new java.io.BufferedReader(new java.io.InputStreamReader(in, StandardCharsets.UTF_8))) {
            reader.lines().forEach(lines);
            return "";
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    private static String read(java.io.InputStream in) {
        try (in) {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /**
     * The test jars, copied once into a directory that every user can read, so that a child
     * running as nobody can load them wherever the build tree lies.
     */
    static synchronized String classpath() {
        try {
            if (sharedJars == null) {
                sharedJars =
                        Files.createTempDirectory(
                                "nativefile-jars",
                                PosixFilePermissions.asFileAttribute(
                                        PosixFilePermissions.fromString("rwxr-xr-x")));
                for (String jar : System.getProperty("nativefile.jars").split(":")) {
                    Path source = Path.of(jar);
                    Path copy = sharedJars.resolve(source.getFileName());
                    Files.copy(source, copy, StandardCopyOption.REPLACE_EXISTING);
                    Files.setPosixFilePermissions(copy, PosixFilePermissions.fromString("rw-r--r--"));
                    copy.toFile().deleteOnExit();
                }
                sharedJars.toFile().deleteOnExit();
            }
            StringBuilder cp = new StringBuilder();
            try (var jars = Files.list(sharedJars)) {
                jars.filter(j -> j.toString().endsWith(".jar"))
                        .sorted()
                        .forEach(j -> cp.append(cp.length() == 0 ? "" : ":").append(j));
            }
            return cp.toString();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /**
     * The launcher bin/nativefile, copied beside the shared copy of the jar, where every user can
     * run it and where it finds the jar.
     */
    static synchronized Path launcher() {
        classpath();
        Path source = Path.of(System.getProperty("nativefile.source"), "bin", "nativefile");
        Path copy = sharedJars.resolve(source.getFileName());
        try {
            Files.copy(source, copy, StandardCopyOption.REPLACE_EXISTING);
            Files.setPosixFilePermissions(copy, PosixFilePermissions.fromString("rwxr-xr-x"));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        copy.toFile().deleteOnExit();
        return copy;
    }

    /** Lets every user search the directory and its parents up to the temp root. */
    static Path openToAll(Path dir) {
        try {
            Files.setPosixFilePermissions(dir, PosixFilePermissions.fromString("rwxr-xr-x"));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        return dir;
    }

    /** Environment changes that start a child in the C locale: no locale variable at all. */
    static Map<String, String> cLocale() {
        Map<String, String> env = new HashMap<>();
        for (String name : System.getenv().keySet()) {
            if (name.startsWith("LC_") || name.equals("LANG") || name.equals("LANGUAGE")) {
                env.put(name, null);
            }
        }
        env.put("LANG", null);
        return env;
    }

    static Map<String, String> env(String... keyValues) {
        Map<String, String> env = new HashMap<>();
        for (int i = 0; i < keyValues.length; i += 2) {
            env.put(keyValues[i], keyValues[i + 1]);
        }
        return env;
    }

    /** The mode of the path itself with its special bits, read without this library. */
    static int modeOf(Path path) {
        try {
            return (Integer) Files.getAttribute(path, "unix:mode", LinkOption.NOFOLLOW_LINKS) & 07777;
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    private static final Pattern MOUNT_ESCAPE = Pattern.compile("\\\\([0-7]{3})");

    /** A mount point field of the kernel's table, its octal escapes (blanks and the like) undone. */
    static String unescapeMountPoint(String field) {
        Matcher m = MOUNT_ESCAPE.matcher(field);
        var bytes = new java.io.ByteArrayOutputStream();
        int at = 0;
        while (m.find()) {
            bytes.writeBytes(field.substring(at, m.start()).getBytes(StandardCharsets.UTF_8));
            bytes.write(Integer.parseInt(m.group(1), 8));
            at = m.end();
        }
        bytes.writeBytes(field.substring(at).getBytes(StandardCharsets.UTF_8));
        return bytes.toString(StandardCharsets.UTF_8);
    }

    /** The mount points of a /proc/self/mounts text, in table order. */
    static List<String> mountPoints(String table) {
        return table.lines().map(line -> unescapeMountPoint(line.split(" ")[1])).toList();
    }
}
