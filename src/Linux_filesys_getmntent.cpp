// The mount points of the calling process's mount namespace, in table order,
// from the one reader of the mount table. It takes no lock: each call reads a
// table of its own.
#include "NativeFile.h"
#include "UnixMounts.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern "C" {

char **UnixNativeFile_getMountList(int *error) {
    static constexpr char kName[] = "UnixNativeFile_getMountList";
    NativeFile_log_entry(kName);
    if (error != nullptr) *error = 0;
    char **list = nullptr;
    nf::MountTable table;
    const int err = table.read();
    // A table that cannot be read gives no list, as an empty one does; only
    // a lack of memory is an error.
    if (err == ENOMEM && error != nullptr) *error = NF_OUT_OF_MEMORY;
    if (err == 0 && table.size() > 0) {
        const auto count = static_cast<std::size_t>(table.size());
        list = static_cast<char **>(std::calloc(count + 1, sizeof(char *)));
        std::size_t filled = 0;
        const bool iterated = list != nullptr && table.forEach([&](libmnt_fs *fs) {
            const char *target = mnt_fs_get_target(fs);
            if (target == nullptr) target = "";
            const std::size_t size = std::strlen(target) + 1;
            auto *text = static_cast<char *>(std::calloc(size, 1));
            if (text == nullptr) {
                NativeFile_log("Failed to allocate memory for a new string for the mount list.\n");
                return false;
            }
            std::memcpy(text, target, size);
            list[filled++] = text;
            return filled < count;
        });
        if (!iterated || filled < count) {
            if (list == nullptr || !iterated) NativeFile_log("Failed to allocate memory for the mount list array.\n");
            if (error != nullptr) *error = NF_OUT_OF_MEMORY;
        }
    }
    NativeFile_log_exit(kName);
    return list;
}

void UnixNativeFile_freeMountList(char **list) {
    static constexpr char kName[] = "UnixNativeFile_freeMountList";
    NativeFile_log_entry(kName);
    if (list != nullptr) {
        for (char **slot = list; *slot != nullptr; ++slot) {
            std::free(*slot);
            *slot = nullptr;
        }
        std::free(list);
    }
    NativeFile_log_exit(kName);
}

}  // extern "C"
