package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Entry point of the child JVMs that tests start under another user, in another mount namespace
 * or with another environment. Its arguments are calls separated by "--", each a method of
 * UnixNativeFile and its arguments ("<null>" for null); it prints one result line per call:
 * "OK value" or "EX ExceptionClass message". String arrays print "OK [n]" and one "- element"
 * line per element. The pseudo-call "tid" prints the kernel id of the calling thread.
 *
 * <p>With "--escaped" as the first argument, arguments may carry any UTF-16 text as {@code
 * \\uXXXX} escapes, and every character of a result outside printable ASCII (and the backslash)
 * is printed as such an escape, whatever the child's locale.
 */
public final class Probe {
    static final String NULL = "<null>";
    static final String ESCAPED = "--escaped";

    private static boolean escaped;

    private Probe() {}

    public static void main(String[] args) throws Exception {
        List<String> call = new ArrayList<>();
        for (String arg : args) {
            if (arg.equals(ESCAPED)) {
                escaped = true;
                continue;
            }
            if (arg.equals("--")) {
                run(call);
                call.clear();
            } else {
                call.add(arg);
            }
        }
        if (!call.isEmpty()) {
            run(call);
        }
        System.out.flush();
    }

    private static void run(List<String> call) throws Exception {
        String name = call.get(0);
        if (name.equals("tid")) {
            Path self = Files.readSymbolicLink(Path.of("/proc/thread-self"));
            System.out.println("OK " + self.getFileName());
            return;
        }
        Object result;
        try {
            result = invoke(call);
        } catch (ExtendedIOException e) {
            System.out.println("EX " + e.getClass().getSimpleName() + " " + escape(e.getMessage()));
            return;
        }
        print(result);
    }

    /** Calls a method by its name and its arguments as the command line gives them. */
    static Object invoke(List<String> call) throws Exception {
        Method method = find(call.get(0), call.size() - 1);
        Class<?>[] types = method.getParameterTypes();
        Object[] values = new Object[types.length];
        for (int i = 0; i < types.length; i++) {
            values[i] = convert(call.get(i + 1), types[i]);
        }
        try {
            return method.invoke(null, values);
        } catch (InvocationTargetException e) {
            if (e.getCause() instanceof Exception cause) {
                throw cause;
            }
            throw e;
        }
    }

    /** One call in this JVM, with the result line a child would print (arrays as "OK [n]"). */
    static String line(String... call) {
        try {
            Object result = invoke(List.of(call));
            return "OK " + (result instanceof String[] a ? "[" + a.length + "]" : result);
        } catch (ExtendedIOException e) {
            return "EX " + e.getClass().getSimpleName() + " " + e.getMessage();
        } catch (Exception e) {
            throw new AssertionError(String.join(" ", call), e);
        }
    }

    private static Method find(String name, int arity) {
        for (Method m : UnixNativeFile.class.getMethods()) {
            if (m.getName().equals(name) && m.getParameterCount() == arity) {
                return m;
            }
        }
        throw new IllegalArgumentException("no method " + name + " with " + arity + " arguments");
    }

    private static Object convert(String text, Class<?> type) {
        if (type == int.class) {
            return Integer.parseInt(text);
        }
        if (type == boolean.class) {
            return Boolean.parseBoolean(text);
        }
        return text.equals(NULL) ? null : unescape(text);
    }

    /** Java-style unicode escapes, for texts that a command line cannot carry. */
    static String escape(String text) {
        if (!escaped) {
            return text;
        }
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) {
            if (c >= 0x20 && c < 0x7F && c != '\\') {
                out.append(c);
            } else {
                out.append(String.format("\\u%04X", (int) c));
            }
        }
        return out.toString();
    }

    static String unescape(String text) {
        if (!escaped) {
            return text;
        }
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < text.length(); i++) {
            if (text.startsWith("\\u", i) && i + 6 <= text.length()) {
                out.append((char) Integer.parseInt(text.substring(i + 2, i + 6), 16));
                i += 5;
            } else {
                out.append(text.charAt(i));
            }
        }
        return out.toString();
    }

    private static void print(Object result) {
        if (result instanceof String[]) {
            String[] array = (String[]) result;
            System.out.println("OK [" + array.length + "]");
            for (String element : array) {
                System.out.println("- " + (element == null ? null : escape(element)));
            }
        } else {
            System.out.println("OK " + (result instanceof String ? escape((String) result) : result));
        }
    }
}
