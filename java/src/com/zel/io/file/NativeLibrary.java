package com.zel.io.file;

import java.io.IOException;
import java.io.InputStream;
import java.net.URISyntaxException;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;
import java.util.stream.Collectors;
import java.util.stream.Stream;

/** Loads libNativeFile once for every class of this package that has native methods. */
final class NativeLibrary {
    /** System property naming the directory to unpack the jar's library into, before the others. */
    static final String TMPDIR_PROPERTY = "com.zel.io.file.tmpdir";

    private static final String PACKED = "native/";

    static {
        loadLibrary();
    }

    private NativeLibrary() {}

    /** Makes sure the library is loaded; the class's initialisation does the work, once. */
    static void load() {}

    private static native String version();

    private static void loadLibrary() {
        String explicit = System.getProperty(UnixNativeFile.LIBRARY_PROPERTY);
        String from = explicit;
        if (explicit != null) {
            System.load(explicit);
        } else {
            try {
                System.loadLibrary("NativeFile");
                from = "java.library.path";
            } catch (UnsatisfiedLinkError notInstalled) {
                try {
                    from = loadPackedLibrary();
                } catch (UnsatisfiedLinkError e) {
                    e.addSuppressed(notInstalled);
                    throw e;
                }
            }
        }
        requireVersion(from);
    }

    // A library of other classes would fail later, on the first method it
    // lacks or declares otherwise; one so old that it has no version() fails here.
    private static void requireVersion(String from) {
        String library;
        try {
            library = version();
        } catch (UnsatisfiedLinkError old) {
            library = null;
        }
        String classes = NativeFileVersion.get();
        if (!classes.equals(library)) {
            throw new UnsatisfiedLinkError(
                    "libNativeFile from "
                            + from
                            + (library == null ? " reports no version" : " is version " + library)
                            + ", but its classes are version "
                            + classes
                            + ": load the library of the same version, or unset "
                            + UnixNativeFile.LIBRARY_PROPERTY
                            + " and java.library.path to use the one in the jar");
        }
    }

    /** The platform as the jar names its libraries: linux-x86_64, linux-aarch64. */
    static String platform() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT).replace(' ', '_');
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        return os
                + "-"
                + switch (arch) {
                    case "amd64" -> "x86_64";
                    case "arm64" -> "aarch64";
                    default -> arch;
                };
    }

    // Each directory in turn gets a private copy, removed once loaded: the
    // mapping stays valid without the name. A directory on a noexec mount
    // fails at the mapping, and the next is tried.
    private static String loadPackedLibrary() {
        String resource = PACKED + platform() + "/libNativeFile.so";
        if (NativeLibrary.class.getResource(resource) == null) {
            throw new UnsatisfiedLinkError(
                    "libNativeFile: the jar has no library for "
                            + platform()
                            + ", only for "
                            + packedPlatforms()
                            + "; name a library built for it by -D"
                            + UnixNativeFile.LIBRARY_PROPERTY
                            + " or install it on java.library.path");
        }
        List<String> tried = new ArrayList<>();
        for (Path dir : unpackDirectories()) {
            try {
                loadCopy(resource, dir);
                return "the jar";
            } catch (IOException | UnsatisfiedLinkError e) {
                tried.add(dir + " (" + e.getMessage() + ")");
            }
        }
        throw new UnsatisfiedLinkError(
                "libNativeFile: no directory could hold and map the jar's library: tried "
                        + String.join(", ", tried)
                        + "; set -D"
                        + TMPDIR_PROPERTY
                        + " to a directory of this user's on a file system mounted without noexec");
    }

    /** Where a copy may go, in order: the property's directory, java.io.tmpdir, ~/.cache/nativefile. */
    static Set<Path> unpackDirectories() {
        Set<Path> dirs = new LinkedHashSet<>();
        for (String dir : new String[] {System.getProperty(TMPDIR_PROPERTY), System.getProperty("java.io.tmpdir")}) {
            if (dir != null && !dir.isEmpty()) {
                dirs.add(Path.of(dir));
            }
        }
        // The JVM sets user.home to "?" for a user without a passwd entry.
        Path home = Path.of(System.getProperty("user.home", ""));
        if (home.isAbsolute()) {
            dirs.add(home.resolve(".cache/nativefile"));
        }
        return dirs;
    }

    private static void loadCopy(String resource, Path dir) throws IOException {
        try (InputStream in = NativeLibrary.class.getResourceAsStream(resource)) {
            Files.createDirectories(
                    dir, PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
            Path copy =
                    Files.createTempFile(
                            dir,
                            "libNativeFile",
                            ".so",
                            PosixFilePermissions.asFileAttribute(
                                    PosixFilePermissions.fromString("rwx------")));
            try {
                Files.copy(in, copy, StandardCopyOption.REPLACE_EXISTING);
                System.load(copy.toAbsolutePath().toString());
            } finally {
                Files.deleteIfExists(copy);
            }
        }
    }

    /** The platforms the jar (or class directory) these classes came from has a library for. */
    static String packedPlatforms() {
        try {
            Path source = Path.of(NativeLibrary.class.getProtectionDomain().getCodeSource().getLocation().toURI());
            try (FileSystem jar = Files.isDirectory(source) ? null : FileSystems.newFileSystem(source)) {
                Path root = jar == null ? source : jar.getPath("/");
                try (Stream<Path> dirs = Files.list(root.resolve("com/zel/io/file/" + PACKED))) {
                    String found =
                            dirs.filter(d -> Files.exists(d.resolve("libNativeFile.so")))
                                    .map(d -> d.getFileName().toString())
                                    .sorted()
                                    .collect(Collectors.joining(", "));
                    return found.isEmpty() ? "none" : found;
                }
            }
        } catch (IOException | URISyntaxException | RuntimeException e) {
            return "none found (" + e + ")";
        }
    }
}
