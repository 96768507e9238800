package com.zel.io.file;

import com.zel.io.file.exception.ExtendedIOException;
import java.nio.file.Path;
import java.util.Optional;

/**
 * A regular file's capability set, read, set and removed as getcap and setcap do, in their text
 * form ({@code cap_net_bind_service=ep}), with the library they are built on (libcap).
 *
 * <p>Only a regular file has capabilities: any other file, a symbolic link included, raises
 * {@link com.zel.io.file.exception.NotSupportedException}, never reaching through the link, and
 * so does a file system without extended attributes. The path is examined once, without following
 * a link, and the set is read and written through a descriptor of that very file. Setting needs
 * root (CAP_SETFCAP); a refusal raises {@link com.zel.io.file.exception.AccessDeniedException}.
 * Failures raise the exceptions of {@link UnixNativeFile}, with errno; a null argument raises
 * {@code ExtendedIOException} with errno 0.
 */
public final class FileCapabilities {
    static {
        NativeLibrary.load();
    }

    private FileCapabilities() {}

    /**
     * Returns the file's capability set as getcap prints it after the path.
     *
     * @param path a regular file
     * @return the text, {@code =} for a set that grants nothing; empty when the file has no set, as
     *     getcap then prints nothing
     * @throws ExtendedIOException as the class describes
     */
    public static Optional<String> get(Path path) throws ExtendedIOException {
        return Optional.ofNullable(get0(NativeFiles.text(path)));
    }

    /**
     * Gives the file a capability set, replacing the one it has.
     *
     * @param path a regular file
     * @param text the set as setcap takes it, {@code cap_net_bind_service=ep} or {@code
     *     cap_chown,cap_fowner+ep cap_kill+i}
     * @throws ExtendedIOException with errno EINVAL, the file unchanged, for a text that does not
     *     parse (an unknown capability name among them); else as the class describes
     */
    public static void set(Path path, String text) throws ExtendedIOException {
        set0(NativeFiles.text(path), text);
    }

    /**
     * Removes the file's capability set, as {@code setcap -r} does; like it, a file without one
     * fails (ENODATA).
     *
     * @param path a regular file
     * @throws ExtendedIOException as the class describes
     */
    public static void remove(Path path) throws ExtendedIOException {
        remove0(NativeFiles.text(path));
    }

    private static native String get0(String path) throws ExtendedIOException;

    private static native void set0(String path, String text) throws ExtendedIOException;

    private static native void remove0(String path) throws ExtendedIOException;
}
