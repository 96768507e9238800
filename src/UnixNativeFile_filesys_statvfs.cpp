// Free and total bytes of the file system that holds a path. These helpers
// report by error code and never raise a Java exception.
#include "UnixNativeFile_filesys_statvfs.h"

#include "NativeFile.h"

#include <cerrno>
#include <cstdint>
#include <sys/statvfs.h>
#include <unistd.h>

namespace nf {

int statvfsErrorCode(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return NF_FILE_NOT_FOUND;
    case EACCES:
        return NF_ACCESS_DENIED;
    case ENOSYS:
        return NF_NOT_SUPPORTED;
    default:
        return NF_IO_ERROR;
    }
}

}  // namespace nf

namespace {

std::uint64_t unitOf(const struct statvfs &record) {
    if (record.f_frsize != 0) return record.f_frsize;
    NativeFile_log("Couldn't use frsize, having to resort to bsize.\n");
    return record.f_bsize;
}

// The frame both helpers share: statvfs with its retry and error code, then
// the helper's own computation on the record.
template <class Compute>
long long measure(const char *name, const char *path, int *error, int *errnoValue, Compute compute) {
    NativeFile_log_entry(name);
    if (error != nullptr) *error = 0;
    if (errnoValue != nullptr) *errnoValue = 0;
    long long result = 0;
    if (path != nullptr) {
        struct statvfs record {};
        int rc;
        do rc = statvfs(path, &record);
        while (rc == -1 && errno == EINTR);
        if (rc == -1) {
            const int err = errno;
            NativeFile_log("Statvfs failed.  errno: [%d].\n", err);
            if (error != nullptr) *error = nf::statvfsErrorCode(err);
            if (errnoValue != nullptr) *errnoValue = err;
        } else {
            result = static_cast<long long>(compute(record));
        }
    }
    NativeFile_log_exit(name);
    return result;
}

}  // namespace

extern "C" {

long long UnixNativeFile_getFreeSpace(const char *path, int *error, int *errnoValue) {
    return measure("UnixNativeFile_getFreeSpace", path, error, errnoValue,
                   [path](const struct statvfs &r) -> std::uint64_t {
                       NativeFile_log("For filesystem containing [%s], f_bfree: [%d], f_bavail: "
                                      "[%d], f_frsize: [%d], f_bsize: [%d]\n",
                                      path, static_cast<int>(r.f_bfree), static_cast<int>(r.f_bavail),
                                      static_cast<int>(r.f_frsize), static_cast<int>(r.f_bsize));
                       std::uint64_t blocks;
                       if (geteuid() == 0) {
                           NativeFile_log("Current process is running under superuser authority.\n");
                           blocks = r.f_bfree != 0 ? r.f_bfree : r.f_bavail;
                       } else {
                           NativeFile_log("Current process is running under standard user authority.");
                           blocks = r.f_bavail;
                       }
                       return blocks == 0 ? 0 : unitOf(r) * blocks;
                   });
}

long long UnixNativeFile_getFileSystemSize(const char *path, int *error, int *errnoValue) {
    return measure("UnixNativeFile_getFileSystemSize", path, error, errnoValue,
                   [path](const struct statvfs &r) -> std::uint64_t {
                       NativeFile_log("For filesystem containing [%s], f_blocks: [%d], f_frsize: "
                                      "[%d], f_bsize: [%d]\n",
                                      path, static_cast<int>(r.f_blocks), static_cast<int>(r.f_frsize),
                                      static_cast<int>(r.f_bsize));
                       return unitOf(r) * static_cast<std::uint64_t>(r.f_blocks);
                   });
}

}  // extern "C"
