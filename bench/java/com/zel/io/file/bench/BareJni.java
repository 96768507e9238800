package com.zel.io.file.bench;

/** A native method that takes a String and does nothing: the JVM's part of every floor. */
final class BareJni {
    static {
        System.load(System.getProperty("nativefile.bench.barejni"));
    }

    private BareJni() {}

    static native int nothing(String path);

    /** Reads the String's units into a native buffer, as the library reads a path, and does nothing else. */
    static native int read(String path);

    /** Returns a new String of the text the benchmark's link holds, and does nothing else. */
    static native String text(String path);

    /** Reads the mount table through libmount and counts its mount points: the C floor of listing mounts. */
    static native int mountTable();
}
