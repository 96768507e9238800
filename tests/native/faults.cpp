#include "faults.h"

#include "UnixNativeFile_strutil.h"

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <grp.h>
#include <iconv.h>
#include <langinfo.h>
#include <mntent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faults {

namespace {

struct Plan {
    int skip = 0;
    int times = 0;
    int err = 0;
    int calls = 0;
};

std::array<Plan, CALL_COUNT> plans{};

// True when this call is to fail; err is then the error to report.
bool take(Call call, int &err) {
    Plan &plan = plans[call];
    ++plan.calls;
    if (plan.skip > 0) {
        --plan.skip;
        return false;
    }
    if (plan.times == 0) return false;
    --plan.times;
    err = plan.err;
    return true;
}

}  // namespace

std::optional<struct statvfs> statvfsRecord;
std::optional<uid_t> euid;
std::optional<pid_t> tid;
std::optional<std::string> mountTable;
std::optional<std::string> codeSet;
std::vector<size_t> lookupSizes;
std::vector<std::pair<uid_t, gid_t>> lchownIds;

void fail(Call call, int err, int times, int skip) {
    // A descriptor the thread kept would spare the open that is to fail.
    if (call == ICONV_OPEN) nf::closeThreadConverters();
    plans[call].err = err;
    plans[call].times = times;
    plans[call].skip = skip;
}

int calls(Call call) { return plans[call].calls; }

void reset() {
    plans.fill(Plan{});
    statvfsRecord.reset();
    euid.reset();
    tid.reset();
    mountTable.reset();
    codeSet.reset();
    lookupSizes.clear();
    lchownIds.clear();
}

}  // namespace faults

using faults::take;

// Calls that report failure as -1 and errno.
#define ERRNO_WRAPPER(ret, name, call, params, args)                                             \
    extern "C" ret __real_##name params;                                                         \
    extern "C" ret __wrap_##name params {                                                        \
        int err = 0;                                                                             \
        if (take(faults::call, err)) {                                                           \
            errno = err;                                                                         \
            return -1;                                                                           \
        }                                                                                        \
        return __real_##name args;                                                               \
    }

ERRNO_WRAPPER(int, lstat, LSTAT, (const char *p, struct stat *s), (p, s))
ERRNO_WRAPPER(int, fchmodat, FCHMODAT, (int d, const char *p, mode_t m, int f), (d, p, m, f))
ERRNO_WRAPPER(int, symlink, SYMLINK, (const char *t, const char *l), (t, l))
ERRNO_WRAPPER(int, unlink, UNLINK, (const char *p), (p))
ERRNO_WRAPPER(ssize_t, readlink, READLINK, (const char *p, char *b, size_t n), (p, b, n))

extern "C" int __real_lchown(const char *path, uid_t owner, gid_t group);
extern "C" int __wrap_lchown(const char *path, uid_t owner, gid_t group) {
    faults::lchownIds.emplace_back(owner, group);
    int err = 0;
    if (take(faults::LCHOWN, err)) {
        errno = err;
        return -1;
    }
    return __real_lchown(path, owner, group);
}

extern "C" int __real_statvfs(const char *path, struct statvfs *record);
extern "C" int __wrap_statvfs(const char *path, struct statvfs *record) {
    int err = 0;
    if (take(faults::STATVFS, err)) {
        errno = err;
        return -1;
    }
    if (faults::statvfsRecord) {
        *record = *faults::statvfsRecord;
        return 0;
    }
    return __real_statvfs(path, record);
}

extern "C" long __real_syscall(long number, ...);
extern "C" long __wrap_syscall(long number, ...) {
    va_list ap;
    va_start(ap, number);
    std::array<long, 5> a{};
    for (long &arg : a) arg = va_arg(ap, long);
    va_end(ap);
    constexpr long kFchmodat2 = 452;
    int err = 0;
    if (number == kFchmodat2 && take(faults::FCHMODAT2, err)) {
        errno = err;
        return -1;
    }
    return __real_syscall(number, a[0], a[1], a[2], a[3], a[4]);
}

extern "C" void *__real_malloc(size_t size);
extern "C" void *__wrap_malloc(size_t size) {
    int err = 0;
    return take(faults::MALLOC, err) ? nullptr : __real_malloc(size);
}

extern "C" void *__real_calloc(size_t count, size_t size);
extern "C" void *__wrap_calloc(size_t count, size_t size) {
    int err = 0;
    return take(faults::CALLOC, err) ? nullptr : __real_calloc(count, size);
}

extern "C" uid_t __real_geteuid();
extern "C" uid_t __wrap_geteuid() { return faults::euid ? *faults::euid : __real_geteuid(); }

extern "C" pid_t __real_gettid();
extern "C" pid_t __wrap_gettid() { return faults::tid ? *faults::tid : __real_gettid(); }

// Lookups report an error by their result and leave no entry.
#define LOOKUP_WRAPPER(name, call, key, record)                                                  \
    extern "C" int __real_##name(key k, record *r, char *b, size_t n, record **found);          \
    extern "C" int __wrap_##name(key k, record *r, char *b, size_t n, record **found) {         \
        faults::lookupSizes.push_back(n);                                                        \
        int err = 0;                                                                             \
        if (take(faults::call, err)) {                                                           \
            *found = nullptr;                                                                    \
            return err;                                                                          \
        }                                                                                        \
        return __real_##name(k, r, b, n, found);                                                 \
    }

LOOKUP_WRAPPER(getpwnam_r, GETPWNAM_R, const char *, struct passwd)
LOOKUP_WRAPPER(getgrnam_r, GETGRNAM_R, const char *, struct group)
LOOKUP_WRAPPER(getpwuid_r, GETPWUID_R, uid_t, struct passwd)
LOOKUP_WRAPPER(getgrgid_r, GETGRGID_R, gid_t, struct group)

extern "C" FILE *__real_setmntent(const char *file, const char *mode);
extern "C" FILE *__wrap_setmntent(const char *file, const char *mode) {
    int err = 0;
    if (take(faults::SETMNTENT, err)) {
        errno = err;
        return nullptr;
    }
    return __real_setmntent(faults::mountTable ? faults::mountTable->c_str() : file, mode);
}

extern "C" iconv_t __real_iconv_open(const char *to, const char *from);
extern "C" iconv_t __wrap_iconv_open(const char *to, const char *from) {
    int err = 0;
    if (take(faults::ICONV_OPEN, err)) {
        errno = err;
        return reinterpret_cast<iconv_t>(-1);
    }
    return __real_iconv_open(to, from);
}

extern "C" size_t __real_iconv(iconv_t cd, char **in, size_t *inLeft, char **out, size_t *outLeft);
extern "C" size_t __wrap_iconv(iconv_t cd, char **in, size_t *inLeft, char **out, size_t *outLeft) {
    int err = 0;
    if (in != nullptr && take(faults::ICONV, err)) {
        errno = err;
        return static_cast<size_t>(-1);
    }
    return __real_iconv(cd, in, inLeft, out, outLeft);
}

extern "C" int __real_iconv_close(iconv_t cd);
extern "C" int __wrap_iconv_close(iconv_t cd) {
    int err = 0;
    take(faults::ICONV_CLOSE, err);
    return __real_iconv_close(cd);
}

extern "C" char *__real_nl_langinfo(nl_item item);
extern "C" char *__wrap_nl_langinfo(nl_item item) {
    if (item == CODESET && faults::codeSet) return const_cast<char *>(faults::codeSet->c_str());
    return __real_nl_langinfo(item);
}
