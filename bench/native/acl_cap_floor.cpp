// The floor of reading a file's ACL and its capability set: libacl's and
// libcap's calls by path in a C++ loop, as a C program makes them; and the
// frame floor, what the library's reads cannot do without: the examined
// file (opened O_PATH|O_NOFOLLOW and fstat'ed, reopened for reading and
// fstat'ed), the read through its descriptor, and what the result holds
// besides (a name looked up for each named entry, a capability set's text).
//
//   nativefile_acl_cap_floor [benchmark flags] FILE
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/capability.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *file;

void aclGetFile(benchmark::State &state) {
    for (auto _ : state) {
        acl_t acl = acl_get_file(file, ACL_TYPE_ACCESS);
        if (acl == nullptr) state.SkipWithError("acl_get_file failed");
        benchmark::DoNotOptimize(acl);
        acl_free(acl);
    }
}

void capGetFile(benchmark::State &state) {
    for (auto _ : state) {
        cap_t caps = cap_get_file(file);
        if (caps == nullptr) state.SkipWithError("cap_get_file failed");
        benchmark::DoNotOptimize(caps);
        cap_free(caps);
    }
}

template <class Read>
void framed(benchmark::State &state, Read read) {
    for (auto _ : state) {
        struct stat examined {}, reopened {};
        const int path = open(file, O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (path == -1 || fstat(path, &examined) != 0) state.SkipWithError("examining the file failed");
        const int fd = open(file, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd == -1 || fstat(fd, &reopened) != 0 || reopened.st_ino != examined.st_ino)
            state.SkipWithError("reopening the file failed");
        if (!read(fd)) state.SkipWithError("reading failed");
        close(fd);
        close(path);
    }
}

void aclFrame(benchmark::State &state) {
    framed(state, [](int fd) {
        acl_t acl = acl_get_fd(fd);
        if (acl == nullptr) return false;
        std::array<char, 16768> buffer;
        acl_entry_t entry;
        for (int id = ACL_FIRST_ENTRY; acl_get_entry(acl, id, &entry) == 1; id = ACL_NEXT_ENTRY) {
            acl_tag_t tag;
            acl_get_tag_type(entry, &tag);
            if (tag != ACL_USER && tag != ACL_GROUP) continue;
            auto *qualifier = static_cast<id_t *>(acl_get_qualifier(entry));
            passwd user, *foundUser;
            group group, *foundGroup;
            if (tag == ACL_USER)
                getpwuid_r(*qualifier, &user, buffer.data(), buffer.size(), &foundUser);
            else
                getgrgid_r(*qualifier, &group, buffer.data(), buffer.size(), &foundGroup);
            acl_free(qualifier);
        }
        acl_free(acl);
        return true;
    });
}

void capFrame(benchmark::State &state) {
    framed(state, [](int fd) {
        cap_t caps = cap_get_fd(fd);
        char *text = caps == nullptr ? nullptr : cap_to_text(caps, nullptr);
        benchmark::DoNotOptimize(text);
        cap_free(text);
        cap_free(caps);
        return text != nullptr;
    });
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: nativefile_acl_cap_floor [benchmark flags] FILE\n");
        return 2;
    }
    file = argv[1];
    benchmark::RegisterBenchmark("acl_get_file", aclGetFile);
    benchmark::RegisterBenchmark("cap_get_file", capGetFile);
    benchmark::RegisterBenchmark("acl_frame", aclFrame);
    benchmark::RegisterBenchmark("cap_frame", capFrame);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
