// The mount points of the calling process's mount namespace, read from the
// kernel's table under one process-wide lock.
#include "NativeFile.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mntent.h>
#include <pthread.h>

namespace {

pthread_mutex_t UnixNativeFile_mtabLockMutex = PTHREAD_MUTEX_INITIALIZER;

constexpr char kMountTable[] = "/proc/self/mounts";

// Room for one table line; a mount point of PATH_MAX bytes, every byte
// escaped as \ooo, still fits.
constexpr std::size_t kLineSize = 4 * 4096 + 4096;

// Grows the list by one slot, keeping it terminated. Null when out of memory;
// the old list is then untouched.
char **grow(char **list, std::size_t count) {
    auto *grown = static_cast<char **>(std::calloc(count + 2, sizeof(char *)));
    if (grown == nullptr) return nullptr;
    if (list != nullptr) {
        std::memcpy(grown, list, (count + 1) * sizeof(char *));
        std::free(list);
    }
    return grown;
}

}  // namespace

extern "C" {

char **UnixNativeFile_getMountList(int *error) {
    static constexpr char kName[] = "UnixNativeFile_getMountList";
    NativeFile_log_entry(kName);
    pthread_mutex_lock(&UnixNativeFile_mtabLockMutex);
    if (error != nullptr) *error = 0;
    char **list = nullptr;
    FILE *table = setmntent(kMountTable, "r");
    if (table != nullptr) {
        std::array<char, kLineSize> line;
        std::size_t count = 0;
        for (;;) {
            struct mntent entry {};
            if (getmntent_r(table, &entry, line.data(), static_cast<int>(line.size())) == nullptr)
                break;
            char **grown = grow(list, count);
            if (grown == nullptr) {
                NativeFile_log("Failed to allocate memory for a resized mount list array.\n");
                if (error != nullptr) *error = NF_OUT_OF_MEMORY;
                break;
            }
            list = grown;
            const std::size_t size = std::strlen(entry.mnt_dir) + 1;
            auto *text = static_cast<char *>(std::calloc(size, 1));
            if (text == nullptr) {
                NativeFile_log("Failed to allocate memory for a new string for the mount list.\n");
                if (error != nullptr) *error = NF_OUT_OF_MEMORY;
                break;
            }
            std::memcpy(text, entry.mnt_dir, size);
            list[count] = text;
            list[++count] = nullptr;
        }
        endmntent(table);
    }
    pthread_mutex_unlock(&UnixNativeFile_mtabLockMutex);
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
