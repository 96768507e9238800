package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * Entry point of the soak child JVM: one cycle of calls that covers every native method, their
 * failures and non-ASCII texts, repeated until the given number of calls is made, with the
 * process's resident memory read after a warm-up and again at the end, each time after a full
 * collection.
 *
 * <p>Arguments: the number of calls, the number of warm-up calls before the first reading, and a
 * directory to work in. The figures go to standard error
 * (standard output is left to the library's log): "calls n", "seconds s", "rss-before-kib n",
 * "rss-after-kib n".
 */
public final class Soak {
    private final String file;
    private final String link;
    private final String newLink;
    private final String missing;
    private long calls;
    private long sink;

    private Soak(Path dir) throws IOException {
        Path f = Files.createFile(dir.resolve("fichier-é-目"));
        file = f.toString();
        link = Files.createSymbolicLink(dir.resolve("lien"), f.getFileName()).toString();
        newLink = dir.resolve("nouveau-lien-😀").toString();
        missing = dir.resolve("absent").toString();
    }

    public static void main(String[] args) throws Exception {
        long total = Long.parseLong(args[0]);
        Soak soak = new Soak(Path.of(args[2]));
        soak.run(Long.parseLong(args[1]));
        long before = residentKib();
        long start = System.nanoTime();
        soak.calls = 0;
        soak.run(total);
        double seconds = (System.nanoTime() - start) / 1e9;
        long after = residentKib();
        System.out.flush();
        System.err.printf("calls %d%nseconds %.1f%nrss-before-kib %d%nrss-after-kib %d%nsink %d%n",
                soak.calls, seconds, before, after, soak.sink);
    }

    /** VmRSS of this process after full collections, so that garbage does not count. */
    private static long residentKib() throws IOException, InterruptedException {
        for (int i = 0; i < 3; i++) {
            System.gc();
            Thread.sleep(50);
        }
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) {
                return Long.parseLong(line.replaceAll("\\D", ""));
            }
        }
        throw new IllegalStateException("no VmRSS");
    }

    private void run(long count) {
        while (calls < count) {
            cycle();
        }
    }

    @FunctionalInterface
    private interface NativeCall {
        Object call() throws ExtendedIOException;
    }

    /** One call; a failure is an answer like any other, its message read as a caller would. */
    private void call(NativeCall call) {
        calls++;
        try {
            Object result = call.call();
            sink += result == null ? 0 : result instanceof String[] a ? a.length : result.hashCode();
        } catch (ExtendedIOException e) {
            sink += e.getErrno() + e.getMessage().length();
        }
    }

    private void cycle() {
        call(() -> UnixNativeFile.getUserPermissions(file));
        call(() -> UnixNativeFile.getGroupPermissions(file));
        call(() -> UnixNativeFile.getWorldPermissions(link));
        call(() -> UnixNativeFile.isSetGIDBit(file));
        call(() -> UnixNativeFile.isSetUIDBit(file));
        call(() -> UnixNativeFile.isSetStickyBit(file));
        call(() -> UnixNativeFile.isSymLink(link));
        call(() -> UnixNativeFile.getSymLinkValue(link));
        call(() -> UnixNativeFile.getFileOwner(file));
        call(() -> UnixNativeFile.getFileGroup(file));
        call(() -> UnixNativeFile.getFreeSpace(file));
        call(() -> UnixNativeFile.getFileSystemSize(file));
        call(() -> {
            UnixNativeFile.setUserPermissions(file, 6);
            return null;
        });
        call(() -> {
            UnixNativeFile.setGroupPermissions(file, 4);
            return null;
        });
        call(() -> {
            UnixNativeFile.setWorldPermissions(file, 4);
            return null;
        });
        call(() -> {
            UnixNativeFile.setPermissions(file, 6, 4, 0);
            return null;
        });
        call(() -> {
            UnixNativeFile.setGIDBit(file, false);
            return null;
        });
        call(() -> {
            UnixNativeFile.setUIDBit(file, false);
            return null;
        });
        call(() -> {
            UnixNativeFile.setStickyBit(file, false);
            return null;
        });
        call(() -> {
            UnixNativeFile.setFileOwner(file, "root");
            return null;
        });
        call(() -> {
            UnixNativeFile.setFileGroup(file, "0");
            return null;
        });
        call(() -> {
            UnixNativeFile.createSymLink(newLink, "cible-😀");
            return null;
        });
        call(() -> {
            UnixNativeFile.symlinkDelete(newLink);
            return null;
        });
        call(UnixNativeFile::getMountedFileSystems);
        // Failures: a missing file, an unknown user, a file read as a link, a null path.
        call(() -> UnixNativeFile.getUserPermissions(missing));
        call(() -> {
            UnixNativeFile.setFileOwner(file, "no-such-user-zz");
            return null;
        });
        call(() -> UnixNativeFile.getSymLinkValue(file));
        call(() -> UnixNativeFile.getFileSystemSize(null));
        call(() -> {
            UnixNativeFile.symlinkDelete(missing);
            return null;
        });
        for (String path : List.of(file + "\u0000", missing + "/x")) {
            call(() -> UnixNativeFile.isSymLink(path));
        }
    }
}
