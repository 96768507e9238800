// The native methods of com.zel.io.file.InodeFlags: the flags that the file
// system keeps with an inode (immutable, append-only, no-dump, no-atime and
// the rest), read and changed through a readable descriptor of the examined
// file, since the flag ioctls take no O_PATH descriptor.
#include "NativeFile_frame.h"
#include "com_zel_io_file_InodeFlags.h"

#include <linux/fs.h>
#include <sys/ioctl.h>

#define NATIVE(...) NF_NATIVE(InodeFlags, __VA_ARGS__)

namespace {

using nf::Call;
using nf::ErrorRow;

constexpr ErrorRow kFlagRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not access the flags of the file.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{EOPNOTSUPP, ENOTTY, EINVAL}, NF_NOT_SUPPORTED, "The file system keeps no such flags for this file."},
    {{}, NF_IO_ERROR, nf::kUnknown},
};

// The stage both methods open with: the path examined, then opened for the
// ioctls; the flags as they are now.
bool readFlags(Call &call, jstring path, nf::NativePath &native, nf::Opened &opened, int &flags) {
    nf::Examined file;
    return call.convert(path, native, kFlagRows) && call.examine(native, file) &&
           call.reopen(file, native, opened, kFlagRows) &&
           call.check(nf::retryOnEintr([&] { return ::ioctl(opened.fd(), FS_IOC_GETFLAGS, &flags); }), kFlagRows);
}

}  // namespace

NATIVE(jint, get0, jstring path) {
    Call call(env, __func__);
    nf::NativePath native;
    nf::Opened opened;
    int flags = 0;
    return readFlags(call, path, native, opened, flags) ? flags : 0;
}

NATIVE(void, change0, jstring path, jint add, jint remove) {
    Call call(env, __func__);
    nf::NativePath native;
    nf::Opened opened;
    int flags = 0;
    if (!readFlags(call, path, native, opened, flags)) return;
    const int changed = (flags | add) & ~remove;
    NativeFile_log("Setting inode flags of file: [%s] from: [0x%x] to: [0x%x]\n", native.data(), flags, changed);
    if (changed == flags) return;
    call.check(nf::retryOnEintr([&] { return ::ioctl(opened.fd(), FS_IOC_SETFLAGS, &changed); }), kFlagRows);
}
