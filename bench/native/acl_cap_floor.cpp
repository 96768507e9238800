// The floor of reading a file's ACL and its capability set: libacl's and
// libcap's calls by path in a C++ loop, as a C program makes them.
//
//   nativefile_acl_cap_floor [benchmark flags] FILE
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sys/acl.h>
#include <sys/capability.h>

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
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
