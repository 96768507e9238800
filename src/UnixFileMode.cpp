// The native methods of com.zel.io.file.UnixFileMode: a whole mode read in
// one examination, and written in one examination and one change.
#include "NativeFile_frame.h"
#include "com_zel_io_file_UnixFileMode.h"

#define NATIVE(...) NF_NATIVE(UnixFileMode, __VA_ARGS__)

NATIVE(jint, getMode, jstring path) {
    nf::Call call(env, __func__);
    struct stat record {};
    nf::NativePath native;
    if (!call.stat(path, native, record)) return 0;
    return static_cast<jint>(record.st_mode & nf::ALL_CHMOD_MASK);
}

NATIVE(void, setMode, jstring path, jint mode) {
    nf::Call call(env, __func__);
    nf::Examined file;
    nf::NativePath native;
    if (!call.examine(path, native, file)) return;
    call.changeMode(file, native, static_cast<mode_t>(mode));
}
