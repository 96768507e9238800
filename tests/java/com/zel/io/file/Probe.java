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
 */
public final class Probe {
    static final String NULL = "<null>";

    private Probe() {}

    public static void main(String[] args) throws Exception {
        List<String> call = new ArrayList<>();
        for (String arg : args) {
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
        Method method = find(name, call.size() - 1);
        Class<?>[] types = method.getParameterTypes();
        Object[] values = new Object[types.length];
        for (int i = 0; i < types.length; i++) {
            values[i] = convert(call.get(i + 1), types[i]);
        }
        try {
            print(method.invoke(null, values));
        } catch (InvocationTargetException e) {
            Throwable cause = e.getCause();
            if (!(cause instanceof ExtendedIOException)) {
                throw e;
            }
            System.out.println("EX " + cause.getClass().getSimpleName() + " " + cause.getMessage());
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
        return text.equals(NULL) ? null : text;
    }

    private static void print(Object result) {
        if (result instanceof String[]) {
            String[] array = (String[]) result;
            System.out.println("OK [" + array.length + "]");
            for (String element : array) {
                System.out.println("- " + element);
            }
        } else {
            System.out.println("OK " + result);
        }
    }
}
