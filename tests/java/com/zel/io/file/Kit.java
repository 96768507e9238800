package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.zel.io.file.exception.ExtendedIOException;
import java.io.*;
import java.lang.reflect.*;
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.*;
import java.util.function.Function;
import java.util.regex.*;
import java.util.stream.*;

/**
 * What the tests share: calls by name, child JVMs, the shell, fake user files, and tables whose rows
 * read {@code where | setup | call | expected | check}. where: blank (this JVM), root (this JVM as
 * root), nobody, ns (a mount namespace with the fake user files), C, latin1 (a child JVM so); other
 * words only name a group; a group runs in one JVM. setup: shell, as root, in the row's directory.
 * call: a method and its words, @x being x in that directory, ~ null, bytes as Latin-1, flags as letters, options by comma. expected: "ok" for void, or
 * "Class errno detail", or the value; its $(...) runs after the setup. check: cmd => output.
 */
public final class Kit {
    /** The native methods, by reflection, so that none is ever left out. */
    public static final List<Method> NATIVE = Stream.of(UnixNativeFile.class, UnixFileMode.class)
            .flatMap(c -> Arrays.stream(c.getDeclaredMethods())).filter(m -> Modifier.isNative(m.getModifiers()))
            .sorted(Comparator.comparing(Method::getName)).toList();
    public static final boolean ROOT = new com.sun.security.auth.module.UnixSystem().getUid() == 0;
    /** What starts a child JVM of another architecture (qemu), else nothing. */
    public static final List<String> EMULATOR = List.of(Objects.requireNonNullElse(System.getenv("NATIVEFILE_EMULATOR"), "").split(" +"))
            .stream().filter(w -> !w.isEmpty()).toList();
    public static final List<String> AS_NOBODY = List.of("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups");
    private static final Map<String, String> TEXTS = """
            ExtendedIOException=An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.
            AccessDeniedException=The current user does not have sufficient authority to perform the requested operation.
            FileNotFoundException=The file referenced by this object does not appear to reside on disk.
            InvalidUserException=A file was attempted to be assigned to an invalid user.
            InvalidGroupException=A file was attempted to be assigned to an invalid group.
            NotSupportedException=The filesystem operation attempted is not supported by the underlying operating-system file-system.
            """.lines().map(l -> l.split("=", 2)).collect(Collectors.toMap(p -> p[0], p -> p[1]));

    public record Result(int status, String out) {}

    /** The outcome of a call: its value (elements a line each), "ok", or "Class: message". */
    @SuppressWarnings("unchecked")
    public static String outcome(Method m, Object... args) {
        try {
            Object r = m.invoke(null, args);
            if (r instanceof byte[] b) r = new String(b, StandardCharsets.ISO_8859_1);
            if (m.getDeclaringClass() == InodeFlags.class && r instanceof Set<?> flags) r = InodeFlags.toLetters((Set<InodeFlag>) flags);
            if (r instanceof Optional<?> o) r = o.map(String::valueOf).orElse("(none)");
            Collection<?> c = r instanceof Object[] a ? List.of(a) : r instanceof Collection<?> k ? k : Collections.singleton(r);
            // A named entry's name is never null: the id's digits where it has none.
            Function<Object, String> show = o -> o instanceof AclEntry e && e.id() >= 0 && e.name() == null ? "no name: " + e : String.valueOf(o);
            return m.getReturnType() == void.class ? "ok" : c.stream().map(show).collect(Collectors.joining("\n"));
        } catch (ReflectiveOperationException e) {
            if (e.getCause() instanceof ExtendedIOException x) return x.getClass().getSimpleName() + ": " + x.getMessage();
            throw new IllegalStateException(m.getName(), e);
        }
    }

    /** "Class errno detail" as the outcome of that exception, whose message adds the class's own text; any other as it stands. */
    public static String expand(String expected) {
        String[] w = expected.split(" ", 3);
        return w.length == 3 && TEXTS.containsKey(w[0]) && w[1].matches("\\d+") ? String.format("%s: [ERRNO: %03d] MSG: %s : %s",
                w[0], Integer.parseInt(w[1]), w[2], TEXTS.get(w[0])) : expected;
    }

    public static List<String> words(String line) {
        return Pattern.compile("'([^']*)'|(\\S+)").matcher(line).results()
                .map(r -> unescape(r.group(1) != null ? r.group(1) : r.group(2))).toList();
    }

    /** Runs a call line, its @ resolved: a method of UnixNativeFile or UnixFileMode, or Class.method of this package. */
    static String call(String line) {
        List<String> t = words(line);
        String[] name = t.get(0).split("\\.");
        Method m = (name.length == 1 ? NATIVE.stream() : Arrays.stream(forName(name[0]).getMethods()))
                .filter(c -> c.getName().equals(name[name.length - 1]) && c.getParameterCount() == t.size() - 1)
                .max(Comparator.comparing(c -> c.getParameterCount() > 0 && c.getParameterTypes()[0] == Path.class)).orElseThrow();
        Class<?>[] types = m.getParameterTypes();
        Object[] args = new Object[types.length];
        for (int i = 0; i < args.length; i++) {
            String s = t.get(i + 1), generic = m.getGenericParameterTypes()[i].getTypeName();
            args[i] = s.equals("~") ? null : types[i] == int.class ? Integer.decode(s) : types[i] == boolean.class ? Boolean.valueOf(s)
                    : types[i] == Path.class ? Path.of(s) : types[i] == byte[].class ? s.getBytes(StandardCharsets.ISO_8859_1)
                    : generic.contains("InodeFlag") ? InodeFlags.fromLetters(s) : generic.contains("Option") ? Arrays.stream(s.split(","))
                    .filter(o -> !o.isEmpty()).map(ExtendedAttributes.Option::valueOf).collect(Collectors.toSet())
                    : types[i] == Set.class ? PosixFilePermissions.fromString(s) : types[i] == List.class ? acl(s)
                    : types[i].isEnum() ? Enum.valueOf(types[i].asSubclass(Enum.class), s) : s;
        }
        return outcome(m, args);
    }

    private static List<AclEntry> acl(String text) {
        try {
            return PosixAcls.parse(text);
        } catch (ExtendedIOException e) {
            throw new IllegalArgumentException(text, e);
        }
    }

    private static Class<?> forName(String name) {
        try {
            return Class.forName(Kit.class.getPackageName() + "." + name);
        } catch (ClassNotFoundException e) {
            throw new IllegalArgumentException(name, e);
        }
    }

    /** A directory's entries as DirectoryScan reads them, sorted: each name, and for a link ">" and its text. */
    public static String scanned(String dir) throws ExtendedIOException {
        return DirectoryScan.scan(dir).stream().map(e -> e.name() + (e.linkTarget() == null ? "" : ">" + e.linkTarget())).sorted()
                .collect(Collectors.joining(" "));
    }

    /** A child JVM's entry: runs each argument as a call line and prints "= outcome" for each. */
    public static void main(String[] lines) {
        for (String line : lines) System.out.println("= " + escape(call(line)));
    }

    public static String escape(String s) {
        return s.chars().mapToObj(c -> c >= 0x20 && c < 0x7f && c != '\\' ? String.valueOf((char) c) : String.format("\\u%04x", c))
                .collect(Collectors.joining());
    }

    static String unescape(String s) {
        return Pattern.compile("\\\\u([0-9a-fA-F]{4})").matcher(s)
                .replaceAll(r -> Matcher.quoteReplacement(String.valueOf((char) Integer.parseInt(r.group(1), 16))));
    }

    /** Runs a command without the log switches, plus env (null removes); stderr joins out, which may not show a JNI complaint. */
    public static Result run(List<String> command, Map<String, String> env, boolean keep) {
        ProcessBuilder b = new ProcessBuilder(command).redirectInput(new File("/dev/null")).redirectErrorStream(true);
        b.environment().keySet().removeIf(k -> k.startsWith("__JNI_NATIVEFILE"));
        env.forEach((k, v) -> b.environment().compute(k, (key, old) -> v));
        try {
            Process p = (keep ? b : b.redirectOutput(ProcessBuilder.Redirect.DISCARD)).start();
            String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
            assertFalse(Pattern.compile("in native method|WARNING: JNI|JNI local refs|Warning: Calling other JNI|handler modified")
                    .matcher(out).find(), out);
            return new Result(p.waitFor(), out);
        } catch (IOException | InterruptedException e) {
            throw new AssertionError(e);
        }
    }

    public static List<String> java(List<String> options, String main, String... args) {
        return Stream.of(EMULATOR, List.of(System.getProperty("java.home") + "/bin/java", "-Xcheck:jni", "-XX:-UsePerfData", "-Djava.io.tmpdir="
                + System.getProperty("java.io.tmpdir"), "-cp", System.getProperty("java.class.path")), options, List.of(main), List.of(args)).flatMap(List::stream).toList();
    }

    public static String sh(Path dir, String script, Map<String, String> env) {
        var r = run(List.of("sh", "-ec", "cd \"$0\"\n" + script, dir.toString()), env, true);
        assertEquals(0, r.status(), script + "\n" + r.out());
        return r.out();
    }

    static List<String> inNamespace(String setup) {
        return List.of("unshare", "-m", "--propagation", "private", "sh", "-ec", setup + "\nexec \"$@\"", "sh");
    }

    /**
     * Writes fake user files into dir, each opening with an entry larger than a first lookup buffer (a
     * 40 KB user, a group of 4,000 members); returns the shell that mounts them over the machine's.
     */
    static String userFiles(Path dir) throws IOException {
        String ours = "tester:x:4100:4100\n123:x:4123:4123\n4294967296:x:4296:4296\nj\u00fcrgen:x:4200:4200\n";
        Files.writeString(dir.resolve("passwd"), "wide:x:4900:4900:" + "w".repeat(40_000) + ":/:/bin/false\n"
                + Files.readString(Path.of("/etc/passwd")) + ours.replace("\n", "::/:/bin/false\n"));
        Files.writeString(dir.resolve("group"), IntStream.range(0, 4000).mapToObj(i -> "m" + i).collect(Collectors.joining(",",
                "crowd:x:4500:", "\n")) + Files.readString(Path.of("/etc/group")) + ours.replaceAll(":\\d+\n", ":\n").replace("ter:", "ters:"));
        return String.format("mount --bind '%1$s/passwd' /etc/passwd\nmount --bind '%1$s/group' /etc/group\n", dir);
    }

    private static String vars(String text, Map<String, String> env) {
        for (var v : env.entrySet()) text = text.replace("$" + v.getKey(), v.getValue());
        return text;
    }

    /** Runs a table's rows in base; vars are NAME=value, set in the shell and as $NAME in calls. */
    static void table(Path base, String rows, String... vars) throws IOException {
        Files.setPosixFilePermissions(base, PosixFilePermissions.fromString("rwxr-xr-x"));
        Map<String, String> env = Arrays.stream(vars).map(v -> v.split("=", 2)).collect(Collectors.toMap(v -> v[0], v -> v[1]));
        Map<String, List<String[]>> groups = rows.lines().map(l -> Arrays.stream((" " + l + " ").split("(?<=\\s)\\|(?=\\s)", -1)).map(String::trim)
                .toArray(String[]::new)).collect(Collectors.groupingBy(r -> r[0], LinkedHashMap::new, Collectors.toList()));
        List<String> wrong = new ArrayList<>(), skipped = new ArrayList<>();
        int n = 0;
        for (var group : groups.entrySet()) {
            List<String> where = List.of(group.getKey().split(" "));
            boolean ns = where.contains("ns");
            if (!ROOT && !Collections.disjoint(where, List.of("root", "nobody", "ns")) || ns && run(List.of("unshare", "-m", "true"), env, true).status() != 0
                    || where.contains("latin1") && run(List.of("localedef", "-i", "fr_FR", "-f", "ISO-8859-1", base + "/fr_FR.ISO-8859-1"), env, true).status() != 0) {
                skipped.add(group.getKey());
                continue;
            }
            StringBuilder script = new StringBuilder(ns ? userFiles(base) : "");
            List<String> calls = new ArrayList<>(), got = new ArrayList<>();
            for (String[] row : group.getValue()) {
                row[0] = Files.createDirectory(base.resolve("r" + (1000 + n++))).toString();
                script.append(String.format("(cd '%s'\n%s\n%s)\n", row[0], row[1], row[3].contains("$(") ? "echo \"" + row[3] + "\" >.want" : ""));
                calls.add(vars(row[2], env).replaceAll("(^|\\s|')@", "$1" + Matcher.quoteReplacement(row[0] + "/")));
            }
            if (!ns) sh(base, script.toString(), env);
            if (Collections.disjoint(where, List.of("nobody", "ns", "C", "latin1"))) {
                for (String c : calls) got.add(call(c));
            } else {
                Map<String, String> childEnv = new HashMap<>(env);
                if (where.contains("C")) List.of("LC_ALL", "LC_CTYPE", "LANG").forEach(k -> childEnv.put(k, null));
                if (where.contains("latin1")) childEnv.putAll(Map.of("LOCPATH", base.toString(), "LC_ALL", "fr_FR.ISO-8859-1"));
                List<String> command = new ArrayList<>(ns ? inNamespace(script.toString()) : List.of());
                if (where.contains("nobody")) command.addAll(AS_NOBODY);
                command.addAll(java(List.of(), Kit.class.getName(), calls.stream().map(Kit::escape).toArray(String[]::new)));
                String out = run(command, childEnv, true).out();
                out.lines().filter(l -> l.startsWith("= ")).forEach(l -> got.add(unescape(l.substring(2))));
                assertEquals(calls.size(), got.size(), out);
            }
            for (int i = 0; i < calls.size(); i++) {
                String[] row = group.getValue().get(i), check = (row[4] + "=>").split("=>", -1);
                String want = expand(row[3].contains("$(") ? Files.readString(Path.of(row[0], ".want")).strip() : vars(row[3], env));
                String out = row[4].isEmpty() ? "" : sh(Path.of(row[0]), check[0], env).strip().replaceAll("\\s+", " ");
                if (!want.replace('\n', ' ').equals(got.get(i).strip().replace('\n', ' ')) || !out.equals(check[1].strip()))
                    wrong.add(String.join(" | ", row) + "\n    got: " + got.get(i) + (row[4].isEmpty() ? "" : ", check: " + out));
            }
        }
        assertEquals("", String.join("\n", wrong));
        assumeTrue(skipped.isEmpty(), "needs root, unshare or localedef: skipped " + skipped);
    }
}
