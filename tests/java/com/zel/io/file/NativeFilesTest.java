package com.zel.io.file;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.zel.io.file.exception.ExtendedIOException;
import com.zel.io.file.exception.FileNotFoundException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URI;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.ProviderMismatchException;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** The Path overloads and whole-mode conveniences, on real files, against coreutils. */
class NativeFilesTest {
    @TempDir Path dir;

    private static String sh(String script, String... args) {
        List<String> command = new ArrayList<>(List.of("sh", "-ec", script, "sh"));
        command.addAll(Arrays.asList(args));
        Child.Result r = Child.run(command, Map.of());
        assertEquals(0, r.status(), r.toString());
        return r.out().strip();
    }

    private static int coreutilsMode(Path path) {
        return Integer.parseInt(sh("stat -c %a \"$1\"", path.toString()), 8);
    }

    @ParameterizedTest
    @ValueSource(ints = {0, 0444, 0755, 04755, 02640, 01777, 07777, 06111})
    void wholeModesReadAndWriteWhatCoreutilsSees(int mode) throws Exception {
        Path read = Files.createFile(dir.resolve("read"));
        sh("chmod \"$1\" \"$2\"", Integer.toOctalString(mode), read.toString());
        assertEquals(mode, NativeFiles.getMode(read));

        Path written = Files.createFile(dir.resolve("written"));
        sh("chmod 7777 \"$1\"", written.toString());
        NativeFiles.setMode(written, mode);
        assertEquals(mode, coreutilsMode(written));
        NativeFiles.setMode(written.toString(), 07777 ^ mode);
        assertEquals(07777 ^ mode, coreutilsMode(written));
    }

    @Test
    void permissionSetsChangeOnlyThePermissionBits() throws Exception {
        Path file = Files.createFile(dir.resolve("file"));
        sh("chmod 4755 \"$1\"", file.toString());
        NativeFiles.setPosixFilePermissions(file, PosixFilePermissions.fromString("rw-r-----"));
        assertEquals(04640, coreutilsMode(file));
        assertEquals(Files.getPosixFilePermissions(file), NativeFiles.getPosixFilePermissions(file));
    }

    @Test
    void aLinkKeepsItsModeAndItsTargetToo() throws Exception {
        Path target = Files.createFile(dir.resolve("target"));
        sh("chmod 600 \"$1\"", target.toString());
        Path link = Files.createSymbolicLink(dir.resolve("link"), target);
        NativeFiles.setMode(link, 04777);
        assertEquals(0777, NativeFiles.getMode(link));
        assertEquals(0600, coreutilsMode(target));
    }

    @Test
    void linksThroughPaths() throws Exception {
        Path link = dir.resolve("link");
        NativeFiles.createSymLink(link, Path.of("relative", "target"));
        assertTrue(NativeFiles.isSymLink(link));
        assertEquals("relative/target", NativeFiles.getSymLinkValue(link));
        NativeFiles.symlinkDelete(link);
        assertThrows(FileNotFoundException.class, () -> NativeFiles.isSymLink(link));
    }

    @Test
    void spaceAndMountsAgreeWithTheStringMethods() throws Exception {
        assertEquals(UnixNativeFile.getFileSystemSize(dir.toString()), NativeFiles.getFileSystemSize(dir));
        assertEquals(List.of(UnixNativeFile.getMountedFileSystems()), NativeFiles.getMountPoints());
    }

    @Test
    void aNullPathFailsAsANullStringDoes() {
        ExtendedIOException e = assertThrows(ExtendedIOException.class, () -> NativeFiles.getFileOwner(null));
        assertEquals(0, e.getErrno());
    }

    @Test
    void aPathOfAnotherFileSystemIsRefused() throws Exception {
        URI zip = URI.create("jar:" + dir.resolve("archive.zip").toUri());
        try (FileSystem archive = FileSystems.newFileSystem(zip, Map.of("create", "true"))) {
            Path inside = archive.getPath("/entry");
            assertThrows(ProviderMismatchException.class, () -> NativeFiles.isSymLink(inside));
            assertThrows(ProviderMismatchException.class, () -> NativeFiles.createSymLink(dir.resolve("l"), inside));
        }
    }

    // Every method of UnixNativeFile that takes a path has its Path overload,
    // with the same result.
    @Test
    void everyPathMethodHasItsOverload() throws Exception {
        for (Method method : UnixNativeFile.class.getDeclaredMethods()) {
            Class<?>[] types = method.getParameterTypes();
            if (!Modifier.isNative(method.getModifiers()) || types.length == 0) {
                continue;
            }
            Class<?>[] pathTypes = types.clone();
            pathTypes[0] = Path.class;
            if (method.getName().equals("createSymLink")) {
                pathTypes[1] = Path.class;
            }
            Method overload = NativeFiles.class.getMethod(method.getName(), pathTypes);
            assertEquals(method.getReturnType(), overload.getReturnType(), method.getName());
        }
    }
}
