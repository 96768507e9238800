// The floor of a tree walk: getdents64, then fstatat for every entry, each
// directory opened with openat from its parent's descriptor, in plain C++.
// Usage: nativefile_tree_floor DIR ROUNDS; prints, per round, the entries
// seen and the nanoseconds taken, a line each.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long walk(int fd) {
    alignas(dirent64) char buffer[32768];
    long count = 0;
    for (long got; (got = getdents64(fd, buffer, sizeof buffer)) > 0;) {
        for (long at = 0; at < got;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
            at += entry->d_reclen;
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            struct stat record;
            if (fstatat(fd, name, &record, AT_SYMLINK_NOFOLLOW) != 0) continue;
            ++count;
            if (S_ISDIR(record.st_mode)) {
                const int child = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child >= 0) count += walk(child), close(child);
            }
        }
    }
    return count;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) return std::fprintf(stderr, "usage: %s DIR ROUNDS\n", argv[0]), 2;
    for (int round = 0, rounds = std::atoi(argv[2]); round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const long count = fd < 0 ? 0 : walk(fd);
        if (fd >= 0) close(fd);
        const auto took = std::chrono::steady_clock::now() - start;
        std::printf("%ld %lld\n", count, static_cast<long long>(std::chrono::nanoseconds(took).count()));
    }
}
