package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.*;
import java.util.*;
import java.util.jar.JarFile;
import java.util.regex.Pattern;
import java.util.stream.*;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The loader, in child JVMs running nativefile: where the jar's copy goes, for which platform, of which version. */
class LoaderTest {
    @TempDir Path dir;
    static final String JAR = Arrays.stream(System.getProperty("java.class.path").split(":")).filter(j -> j.endsWith("/nativefile.jar")).findFirst().orElseThrow();

    static Kit.Result nativefile(List<String> prefix, String jar, String options, String... args) {
        return Kit.run(Stream.of(prefix, Kit.EMULATOR, List.of(System.getProperty("java.home") + "/bin/java", "-Xcheck:jni"), List.of(options.split(" ")),
                List.of("-jar", jar), List.of(args)).flatMap(List::stream).filter(w -> !w.isEmpty()).toList(), Map.of(), true);
    }

    /** /tmp a noexec tmpfs holding keep/ (executable): the property's directory, java.io.tmpdir, ~/.cache/nativefile, private and left empty; else an error naming them. */
    @Test
    void aNoexecTmpIsPassedOverForThePropertysDirectoryOrTheCache() throws Exception {
        assumeTrue(Kit.ROOT && Kit.run(List.of("unshare", "-m", "true"), Map.of(), true).status() == 0, "needs root and unshare -m");
        assumeTrue(Kit.EMULATOR.isEmpty(), "under qemu-user noexec stops nothing: the emulator reads the code, the host never runs it");
        Files.copy(Path.of(JAR), Files.createDirectories(dir.resolve("keep/c")).resolveSibling("nativefile.jar"));
        List<String> ns = Kit.inNamespace(String.format("mount --make-rprivate /\nmkdir -p %1$s/new && mount -t tmpfs -o noexec tmpfs %1$s/new && mkdir %1$s/new/keep"
                + "\nmount --bind %1$s/keep %1$s/new/keep && mount --move %1$s/new /tmp", dir));
        for (String options : List.of("-Djava.io.tmpdir=/tmp -Duser.home=/tmp/keep/a", "-Djava.io.tmpdir=/tmp/keep/c -Duser.home=/tmp/keep/x",
                "-Dcom.zel.io.file.tmpdir=/tmp/keep/b -Djava.io.tmpdir=/tmp/keep -Duser.home=/tmp/keep/x"))
            assertEquals("drwxr-xr-x 755 root root /", nativefile(ns, "/tmp/keep/nativefile.jar", options, "stat", "/").out().strip(), options);
        assertEquals("./a ./a/.cache ./a/.cache/nativefile ./b ./c ./nativefile.jar 700 700",
                Kit.sh(dir.resolve("keep"), "find . -mindepth 1 | sort; stat -c %a a/.cache/nativefile b", Map.of()).strip().replaceAll("\\s+", " "));
        String none = nativefile(ns, "/tmp/keep/nativefile.jar", "-Djava.io.tmpdir=/tmp -Duser.home=/tmp/home", "stat", "/").out();
        assertTrue(Pattern.compile("tried /tmp \\(.*failed to map segment.*\\), /tmp/home/.cache/nativefile \\(.*\\); set -Dcom.zel.io.file.tmpdir to").matcher(none).find(), none);
    }

    /** CMake's version is the manifest's and the command's; a missing platform, another version or none is refused by name. */
    @Test
    void oneVersionEverywhereAndOnlyTheLibraryOfIt() throws Exception {
        String version = NativeFileVersion.get(), other = System.getenv("NATIVEFILE_OTHER_VERSION"), jaas = System.getProperty("java.home") + "/lib/libjaas.so";
        String cmake = Files.readString(Path.of(System.getProperty("nativefile.source"), "CMakeLists.txt")).replaceFirst("(?s).*project\\(libNativeFile VERSION (\\S+).*", "$1");
        try (JarFile jar = new JarFile(JAR)) {
            assertEquals(List.of(version, version, "nativefile " + version), List.of(cmake, jar.getManifest().getMainAttributes().getValue("Implementation-Version"),
                    nativefile(List.of(), JAR, "", "--version").out().strip()));
            String has = jar.stream().map(e -> e.getName().replaceFirst("^com/zel/io/file/native/([^/]+)/libNativeFile.so$", "$1")).filter(n -> !n.contains("/"))
                    .sorted().collect(Collectors.joining(", "));
            Map<String, String> refused = new HashMap<>(Map.of("-Dos.arch=riscv64", "the jar has no library for linux-riscv64, only for " + has + ";",
                    "-Dcom.zel.io.file.library=" + jaas, "from " + jaas + " reports no version, but its classes are version " + version));
            boolean native_ = other != null && Kit.EMULATOR.isEmpty();  // the other version is built for this machine only
            if (native_) refused.putAll(Map.of("-Djava.library.path=" + Files.copy(Path.of(other), dir.resolve("libNativeFile.so")).getParent(),
                    "from java.library.path is version 0.0.1, but", "-Dcom.zel.io.file.library=" + other, "from " + other + " is version 0.0.1, but"));
            refused.forEach((options, message) -> assertTrue(nativefile(List.of(), JAR, options, "stat", "/").out().contains("UnsatisfiedLinkError: libNativeFile"
                    + (message.startsWith("from") ? " " : ": ") + message), options));
            assumeTrue(native_, "no library of another version for this machine (NATIVEFILE_OTHER_VERSION)");
        }
    }
}
