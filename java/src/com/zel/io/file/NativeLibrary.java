package com.zel.io.file;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Locale;

/** Loads libNativeFile once for every class of this package that has native methods. */
final class NativeLibrary {
    static {
        loadLibrary();
    }

    private NativeLibrary() {}

    /** Makes sure the library is loaded; the class's initialisation does the work, once. */
    static void load() {}

    private static void loadLibrary() {
        String explicit = System.getProperty(UnixNativeFile.LIBRARY_PROPERTY);
        if (explicit != null) {
            System.load(explicit);
            return;
        }
        try {
            System.loadLibrary("NativeFile");
        } catch (UnsatisfiedLinkError notInstalled) {
            try {
                loadPackedLibrary();
            } catch (IOException | UnsatisfiedLinkError e) {
                UnsatisfiedLinkError error =
                        new UnsatisfiedLinkError(
                                "libNativeFile: not on java.library.path and no usable copy in the jar: "
                                        + e.getMessage());
                error.addSuppressed(notInstalled);
                throw error;
            }
        }
    }

    /** Resource path of the library built for this platform. */
    static String packedLibraryResource() {
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        if (arch.equals("amd64") || arch.equals("x86_64")) {
            arch = "x86_64";
        }
        return "native/linux-" + arch + "/libNativeFile.so";
    }

    // The copy goes to a private file that only this user can read, and is
    // removed once loaded: the mapping stays valid without the name.
    private static void loadPackedLibrary() throws IOException {
        String resource = packedLibraryResource();
        try (InputStream in = NativeLibrary.class.getResourceAsStream(resource)) {
            if (in == null) {
                throw new IOException("no resource " + resource);
            }
            Path copy =
                    Files.createTempFile(
                            "libNativeFile",
                            ".so",
                            PosixFilePermissions.asFileAttribute(
                                    PosixFilePermissions.fromString("rwx------")));
            try {
                Files.copy(in, copy, StandardCopyOption.REPLACE_EXISTING);
                System.load(copy.toString());
            } finally {
                Files.deleteIfExists(copy);
            }
        }
    }
}
