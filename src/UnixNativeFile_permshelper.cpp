// Editing a mode value in memory by a permission triple (4 read, 2 write,
// 1 execute). No system call is made here.
#include "NativeFile.h"

#include <sys/stat.h>

namespace {

void UnixNativeFile_setPermissions(mode_t *mode, int triple, mode_t read, mode_t write,
                                   mode_t execute) {
    static constexpr char kName[] = "UnixNativeFile_setPermissions";
    NativeFile_log_entry(kName);
    if (mode == nullptr) {
        NativeFile_log("Pointer for mode_t data was NULL, therefore not setting values.");
    } else {
        const struct {
            int tripleBit;
            mode_t modeBit;
        } bits[] = {{4, read}, {2, write}, {1, execute}};
        for (const auto &bit : bits) {
            if (triple & bit.tripleBit)
                *mode |= bit.modeBit;
            else
                *mode &= static_cast<mode_t>(~bit.modeBit);
        }
    }
    NativeFile_log_exit(kName);
}

}  // namespace

extern "C" {

void UnixNativeFile_setUserPermissions(mode_t *mode, int triple) {
    UnixNativeFile_setPermissions(mode, triple, S_IRUSR, S_IWUSR, S_IXUSR);
}

void UnixNativeFile_setGroupPermissions(mode_t *mode, int triple) {
    UnixNativeFile_setPermissions(mode, triple, S_IRGRP, S_IWGRP, S_IXGRP);
}

void UnixNativeFile_setWorldPermissions(mode_t *mode, int triple) {
    UnixNativeFile_setPermissions(mode, triple, S_IROTH, S_IWOTH, S_IXOTH);
}

}  // extern "C"
