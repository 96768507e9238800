// What a JVM cannot make happen, for each native method of the generated JNI headers: each runs on
// a fresh file in each scenario, then once per fault injected into each call it made. No run breaks
// the rules of JNI, and with the log off no call allocates.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iconv.h>
#include <langinfo.h>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "NativeFile.h"
#include <acl/libacl.h>
#include "NativeFile_helper.h"
#include "UnixNativeFile_strutil.h"
#include "fake_jni.h"
#include "natives.h"

namespace fs = std::filesystem;

struct Fixture {  // a directory of its own holding "f", the file that every path names
    std::string dir = mkdtemp((fs::temp_directory_path() / "nativefile-XXXXXX").string().data());
    Fixture() { std::ofstream(dir + "/f"), fs::permissions(dir + "/f", fs::perms(0644)); }
    ~Fixture() { fs::remove_all(dir); }
    void swap() const { fs::rename(dir + "/f", dir + "/g"), fs::create_symlink("g", dir + "/f"); }  // f: a link to g
    std::string state() const {  // the type and mode of f and g
        const auto of = [&](const char *n) { return std::to_string(int(fs::symlink_status(dir + n).type()) << 16 |
                                                                   int(fs::symlink_status(dir + n).permissions())); };
        return of("/f") + " " + of("/g");
    }
};

// The fault layer: each call on a WRAP line is wrapped at link time (CMake reads them). Its calls
// after `skip` fail, `times` of them, with err; `then` runs as the fault is injected.
struct Plan { int skip = 0, times = 0, err = 0, calls = 0; std::function<void()> then; };
std::map<std::string, Plan> &plans() { static std::map<std::string, Plan> all; return all; }  // never emptied
int take(Plan &p) {
    if (++p.calls <= p.skip || p.calls > p.skip + p.times) return 0;
    return p.then ? (NotTheLibrary(), p.then(), p.err) : p.err;
}
void fail(const std::string &call, int err, int times = 1, int skip = 0, std::function<void()> then = {}) {
    plans()[call] = {skip, times, err, 0, std::move(then)};
}
std::vector<size_t> lookupSizes;
const char *codeSet;    // what nl_langinfo(CODESET) reports, when set
struct statvfs volume;  // what statvfs reports: free space moves while the suite runs
bool counting = false;
long allocations = 0;  // made while counting
#ifndef __SANITIZE_ADDRESS__  // the sanitizer owns the allocator: nothing is counted
extern "C" void *__libc_malloc(size_t), *__libc_calloc(size_t, size_t);
void *counted(void *block) { return allocations += counting && !notTheLibrary, block; }
extern "C" void *malloc(size_t n) noexcept { return counted(__libc_malloc(n)); }
extern "C" void *calloc(size_t n, size_t size) noexcept { return counted(__libc_calloc(n, size)); }
#endif
#define WRAP_(name, ret, params, call, pre, fault)                                                            \
    extern "C" ret __real_##name params;                                                                     \
    extern "C" ret __wrap_##name params {                                                                    \
        static Plan &plan = plans()[#name];                                                                  \
        pre;                                                                                                 \
        if (const int err = take(plan)) { fault; }                                                           \
        return call;                                                                                         \
    }
#define WRAP(name, ret, params, args) WRAP_(name, ret, params, __real_##name args, , errno = err; return ret(-1))
#define WRAP_LOOKUP(name, key, record)                                                                       \
    WRAP_(name, int, (key k, record *r, char *b, size_t n, record **found), __real_##name(k, r, b, n, found), \
          NotTheLibrary libc; lookupSizes.push_back(n), *found = nullptr; return err)
WRAP(lstat, int, (const char *p, struct stat *s), (p, s))
WRAP(fstat, int, (int fd, struct stat *s), (fd, s))
WRAP(open, int, (const char *p, int flags, ...), (p, flags))  // O_PATH takes no mode
WRAP(syscall, long, (long nr, int fd, const char *p, mode_t mode, int flags), (nr, fd, p, mode, flags))
WRAP(fchmodat, int, (int fd, const char *p, mode_t mode, int flags), (fd, p, mode, flags))
WRAP(fchownat, int, (int fd, const char *p, uid_t u, gid_t g, int flags), (fd, p, u, g, flags))
WRAP(symlink, int, (const char *target, const char *p), (target, p))
WRAP(unlink, int, (const char *p), (p))
WRAP(ioctl, int, (int fd, unsigned long request, void *flags), (fd, request, flags))
WRAP(fgetxattr, ssize_t, (int fd, const char *n, void *v, size_t size), (fd, n, v, size))
WRAP(lgetxattr, ssize_t, (const char *p, const char *n, void *v, size_t size), (p, n, v, size))
WRAP(flistxattr, ssize_t, (int fd, char *l, size_t size), (fd, l, size))
WRAP(llistxattr, ssize_t, (const char *p, char *l, size_t size), (p, l, size))
WRAP(fsetxattr, int, (int fd, const char *n, const void *v, size_t size, int flags), (fd, n, v, size, flags))
WRAP(lsetxattr, int, (const char *p, const char *n, const void *v, size_t size, int flags), (p, n, v, size, flags))
WRAP(fremovexattr, int, (int fd, const char *n), (fd, n))
WRAP(lremovexattr, int, (const char *p, const char *n), (p, n))
WRAP(readlink, ssize_t, (const char *p, char *b, size_t n), (p, b, n))
WRAP(openat, int, (int fd, const char *p, int flags, ...), (fd, p, flags))  // directories only: no mode
WRAP(getdents64, ssize_t, (int fd, void *b, size_t n), (fd, b, n))
WRAP(fstatat, int, (int fd, const char *p, struct stat *s, int flags), (fd, p, s, flags))
WRAP_(statvfs, int, (const char *, struct statvfs *v), (*v = volume, 0), , errno = err; return -1)  // no real call
WRAP_(fstatvfs, int, (int, struct statvfs *v), (*v = volume, 0), , errno = err; return -1)  // no real call
WRAP(statx, int, (int fd, const char *p, int flags, unsigned mask, struct statx *x), (fd, p, flags, mask, x))
WRAP_(malloc, void *, (size_t n), __real_malloc(n), , return nullptr)
WRAP_(calloc, void *, (size_t n, size_t size), __real_calloc(n, size), , return nullptr)
WRAP_LOOKUP(getpwnam_r, const char *, passwd)
WRAP_LOOKUP(getgrnam_r, const char *, group)
WRAP_LOOKUP(getpwuid_r, uid_t, passwd)
WRAP_LOOKUP(getgrgid_r, gid_t, group)
WRAP_(UnixNativeFile_getMountList, char **, (int *e), __real_UnixNativeFile_getMountList(e),
      NotTheLibrary itsContract, )  // the list is the caller's
WRAP(iconv_open, iconv_t, (const char *to, const char *from), (to, from))
WRAP_(iconv, size_t, (iconv_t cd, char **in, size_t *il, char **out, size_t *ol), __real_iconv(cd, in, il, out, ol),
      if (!in) return __real_iconv(cd, in, il, out, ol), errno = err; return size_t(-1))  // resets never fail
WRAP_(nl_langinfo, char *, (nl_item item), item == CODESET && codeSet ? (char *)codeSet : __real_nl_langinfo(item), , )

// One call of a native method. Arguments by type: the first string names the file, the second is
// the caller's user name (as user, group, link text or attribute name); an int is 5 (a triple or a
// flag), for DirectoryScan the fixture's directory open; an Object[] is an out parameter.
int number = 5;
std::string show(jstring s) { return s ? FakeJni::text(s) : "null"; }
std::string show(jobjectArray a) {
    std::string all;
    for (const auto &s : a ? *static_cast<FakeJni::Array *>(static_cast<void *>(a)) : FakeJni::Array{}) all += s + " ";
    return a ? all : "null";
}
std::string show(jbyteArray b) { return b ? "bytes " + FakeJni::text(b) : "null"; }
std::string show(jlongArray l) { return l ? "longs " + std::to_string(FakeJni::text(l).size() / sizeof(jlong)) : "null"; }
std::string show(auto number) { return std::to_string(number); }
template <class R, class... P>
std::string call(R (*method)(JNIEnv *, jclass, P...), FakeJni &jni, const jstring *s) {
    const auto result = [&]<size_t... I>(std::index_sequence<I...>) {
        return method(&jni.env, nullptr, [&] {
            if constexpr (std::is_same_v<P, jstring>) return s[I > 0];
            else if constexpr (std::is_same_v<P, jbyteArray>) return jbyteArray(jni.string({"\xff\0v", 3}));
            else if constexpr (std::is_same_v<P, jobjectArray>) return NotTheLibrary(), jobjectArray(&jni.arrays.emplace_back(1));
            else if constexpr (std::is_same_v<P, jint>) return P(number);
            else return P(5);
        }()...);
    };
    if constexpr (std::is_void_v<R>) return result(std::index_sequence_for<P...>{}), "";
    else return [](R r) { NotTheLibrary test; return show(r); }(result(std::index_sequence_for<P...>{}));
}
using Method = std::pair<const char *, std::string (*)(FakeJni &, const jstring *)>;
#define METHOD(f) Method{#f, [](FakeJni &jni, const jstring *s) { return call(f, jni, s); }},
const Method methods[] = {
#include "natives.inc"
};

struct Result {  // out: the result, the exception thrown and the files afterwards; calls: wrapped and JNI
    std::string out, thrown;
    bool pending; long allocations; std::map<std::string, int> calls;
};
FakeJni *jni; const Fixture *fixture;  // the current run's
using Arm = std::function<void()>;
Arm also(const Arm &arm, const std::string &call, int err, int times = 1, int skip = 0) {
    return [=] { arm(), fail(call, err, times, skip); };
}

Result run(const Method &m, const Arm &arm, bool count = false) {
    const Fixture f;
    FakeJni j;
    jni = &j, fixture = &f;
    const jstring strings[] = {j.string(f.dir + "/f"), j.string(getpwuid(getuid())->pw_name)};
    const int directory = std::strstr(m.first, "_DirectoryScan_") ? open(f.dir.c_str(), O_RDONLY | O_DIRECTORY) : -1;
    number = directory >= 0 ? directory : 5;
    for (auto &entry : plans()) entry.second = Plan{};
    lookupSizes.clear(), codeSet = nullptr, volume = {};
    volume.f_bsize = 8192, volume.f_frsize = 4096, volume.f_blocks = 1000, volume.f_bfree = 300, volume.f_bavail = 200;
    counting = count;
    arm();
    const long before = allocations;
    const std::string value = m.second(j, strings);
    counting = false;
    if (directory >= 0 && fcntl(directory, F_GETFD) != -1) close(directory);  // unless close0 closed it
    std::string thrown = j.thrownClass + ": " + j.message;
    if (const size_t at = thrown.find(f.dir); at != std::string::npos) thrown.replace(at, f.dir.size(), "DIR");  // a text echoed
    Result r{value + " | " + thrown + " | " + f.state(), thrown, j.pending, allocations - before, j.calls};
    for (const auto &[name, plan] : plans()) if (plan.calls > 0) r.calls[name] = plan.calls;
    EXPECT_EQ(0, j.whilePending) << "JNI calls with an exception pending";
    EXPECT_LE(j.thrown, 1);
    EXPECT_LE(j.maxRefs, 16) << "local references";
    EXPECT_TRUE(!j.pending || value.empty() || value == "0" || value == "null") << "returned after raising: " << value;
    return r;
}

// Each call's classification table: a row's errnos raise its class with its detail, the message
// showing the errno (or `shown`); class "" raises nothing, no class changes no outcome (as 1,000
// EINTRs on a call that retries: all but fstat). Catch-all rows take other tables' errnos.
struct Row { std::set<int> errnos; const char *cls = nullptr, *detail = nullptr; int shown = -1; };
using Rows = std::vector<Row>;
const char kDenied[] = "AccessDeniedException", kGone[] = "FileNotFoundException", kIO[] = "ExtendedIOException";
const char kUnknown[] = "Unknown system error occured.";
const std::set<int> kMissing{ENOENT, ENOTDIR, ENAMETOOLONG};
const Row kNoFile{kMissing, kGone, "File does not exist on system or the file name was too long."}, kRetried{{EINTR}};
const Rows kQuery{{{EACCES}, kDenied, "Could not query file for information.  Permission denied."}, kNoFile,
                  {{EIO, EPERM, EROFS, EBUSY, EEXIST}, kIO, kUnknown}, kRetried};
const Rows kChmod{{{EACCES}, kDenied, "Could not access file for permissions change.  Permission denied."}, kNoFile,
                  {{EIO, EPERM, EROFS, EOPNOTSUPP}, kIO, kUnknown}, kRetried};
const char kNotSup[] = "NotSupportedException";
const Rows kXattr{{{EACCES, EPERM}, kDenied, "Could not access the extended attributes of the file.  Permission denied."},
                  kNoFile, {{EOPNOTSUPP}, kNotSup, "The file system does not support this extended attribute on this file."},
                  {{ENODATA}, kIO, "The file has no such extended attribute."},
                  {{EEXIST}, kIO, "The extended attribute exists already."},
                  {{E2BIG, ENOSPC}, kIO, "The extended attribute's name or value is over the system's limit."},
                  {{EIO}, kIO, kUnknown}, kRetried};
const Rows kFlags{{{EACCES, EPERM, EROFS}, kDenied, "Could not access the flags of the file.  Permission denied."},
                  kNoFile, {{EOPNOTSUPP, ENOTTY, EINVAL}, kNotSup, "The file system keeps no such flags for this file."},
                  {{EIO}, kIO, kUnknown}, kRetried};
const Row kAclDenied{{EACCES, EPERM, EROFS}, kDenied, "Could not access the ACL of the file.  Permission denied."};
const Rows kAcl{kAclDenied, kNoFile, {{EOPNOTSUPP, ENOTTY}, kNotSup, "The file system keeps no such ACL for this file."},
                {{EIO}, kIO, kUnknown}, kRetried};
const Row kCapDenied{{EACCES, EPERM, EROFS}, kDenied, "Could not access the capabilities of the file.  Permission denied."};
const Row kCapNotSup{{EOPNOTSUPP, ENOTTY}, kNotSup, "Only a regular file on a file system with extended attributes has capabilities."};
const Row kNoCaps{{ENODATA}, kIO, "The file has no capabilities."};
const Rows kCaps{kCapDenied, kNoFile, kCapNotSup, {{EIO}, kIO, kUnknown}, kRetried};
// libcap's own calls are not retried; a file without capabilities reads as none.
const Rows kCapLibrary{kCapDenied, kNoFile, kCapNotSup, {{EIO, EINTR}, kIO, kUnknown}};
// The reopening of the examined file (the last open and fstat) reports by its method's table; a
// link there fails as a link seen at once.
Rows reopened(const Rows &rows, bool open) {
    Rows all(rows.begin(), rows.end() - !open);
    if (open) all.push_back({{ELOOP}, kNotSup, rows[2].detail, EOPNOTSUPP});
    return all;
}
const Rows kDirectory{{{EACCES}, kDenied, "Could not read the directory.  Permission denied."},
                      {{ENOENT, ENOTDIR, ELOOP}, kGone, "The directory does not exist on system, or something other than that "
                                                      "directory is in its place."},
                      {{ENAMETOOLONG}, kGone, kNoFile.detail}, {{EIO}, kIO, kUnknown}, kRetried};
const Rows kAsItStands{{{EILSEQ, EINVAL, EMFILE}}};  // a text the converter fails goes as it stands
const std::map<std::string, Rows> tables{
    {"lstat", kQuery}, {"open", kQuery}, {"fstat", {kQuery.begin(), kQuery.end() - 1}},
    {"syscall", kChmod}, {"fchmodat", kChmod},
    {"fchownat", {{{EACCES, EPERM, EROFS}, kDenied, "Could not change ownership of file.  Permission denied."},
                  kNoFile, {{EIO, EBUSY, EEXIST}, kIO, kUnknown}, kRetried}},
    {"readlink", {kQuery[0], kNoFile, {{EIO, EPERM, EINVAL}, kIO, "System error occured."}, kRetried}},
    {"symlink", {{{EACCES, EPERM, EROFS}, kDenied, "Could not create the link.  Permission denied."}, kNoFile,
                 {{EEXIST}, ""}, {{EIO, EBUSY}, kIO, kUnknown}, kRetried}},
    {"unlink", {{{EACCES, EBUSY}, kDenied, "Could not access symlink for removal.  Permission denied."},
                {kMissing, kGone, "Symlink does not exist on system or the symlink name was too long."},
                {{EIO, EPERM, EROFS, EISDIR}, kIO, kUnknown}, kRetried}},
    {"statvfs", {{{EACCES}, kDenied, "Could not access denoted path for space determination.  Permission denied."},
                 {kMissing, kGone, "The path does not exist on the system or the path was too long."},
                 {{EIO, EPERM, ENOSYS}, kIO, "An unexpected OS error occurred while performing the operation.  "
                                             "Please refer to the system errno table for specifics."}, kRetried}},
    {"calloc", {{{ENOMEM}, kIO, "There was a problem with querying the OS for mount entries.  A list could not "
                                "be determined.  IO error.", 0}}},
    {"fstatvfs", {kQuery.begin(), kQuery.end() - 1}},
    {"statx", {{{ENOSYS, EINVAL, EACCES}, ""}}},  // no mount id: the fallback, which raises nothing
    {"iconv_open", kAsItStands}, {"iconv", kAsItStands}, {"ioctl", kFlags}, {"fgetxattr", kXattr}, {"lgetxattr", kXattr},
    {"flistxattr", kXattr}, {"llistxattr", kXattr}, {"fsetxattr", kXattr}, {"lsetxattr", kXattr},
    {"fremovexattr", kXattr}, {"lremovexattr", kXattr},
    {"ExtendedAttributes open", reopened(kXattr, true)}, {"ExtendedAttributes fstat", reopened(kXattr, false)},
    {"InodeFlags open", reopened(kFlags, true)}, {"InodeFlags fstat", reopened(kFlags, false)},
    {"PosixAcls open", reopened(kAcl, true)}, {"PosixAcls fstat", reopened(kAcl, false)},
    {"FileCapabilities open", reopened(kCaps, true)}, {"FileCapabilities fstat", reopened(kCaps, false)},
    {"FileCapabilities fgetxattr *", [] { Rows r = kCapLibrary; return r.push_back({{ENODATA}}), r; }()},
    {"FileCapabilities calloc *", {{{ENOMEM}, kIO, "Not enough memory for the capability set."}}},
    {"FileCapabilities fremovexattr *", [] { Rows r = kCapLibrary; return r.push_back(kNoCaps), r; }()},
    {"openat", kDirectory}, {"getdents64", kDirectory},
    {"fstatat", {kDirectory[0], {{ENOENT}, ""}, {{EIO}, kIO, kUnknown}, kRetried}}};  // an entry gone is left out
const Rows &rowsOf(const std::string &method, const std::string &call, bool last) {
    static const Rows none;
    const size_t from = method.find("file_") + 5;
    const std::string own = method.substr(from, method.rfind('_') - from) + " " + call;
    if (last && tables.count(own)) return tables.at(own);
    return tables.count(own + " *") ? tables.at(own + " *") : tables.count(call) ? tables.at(call) : none;
}

void expectRow(const Row &row, int err, const Result &got, const Result &base) {
    if (!row.cls) return [&] { EXPECT_EQ(base.out, got.out); }();
    if (!*row.cls) return [&] { EXPECT_EQ(": ", got.thrown); }();
    char expected[256];
    std::snprintf(expected, sizeof expected, "com/zel/io/file/exception/%s: [ERRNO: %.3d] MSG: %s : ", row.cls,
                  row.shown < 0 ? err : row.shown, row.detail);
    EXPECT_EQ(0u, got.thrown.find(expected)) << got.thrown;
}

// faults: into the calls that plain runs did not make; only: for the methods so named, with outcomes of their own
struct Scenario { const char *name; Arm arm; bool faults; const char *only = nullptr; };
const Scenario scenarios[] = {
    {"plain", [] {}, true},
    {"no fchmodat2 (before Linux 6.6), no f_frsize",
     [] { fail("syscall", ENOSYS, 1 << 30), volume.f_frsize = 0, volume.f_bsize = 4096; }, true},
    {"Latin-1", [] { codeSet = "ISO-8859-1"; if (!counting) nf::closeThreadConverters(); }, true},  // count later calls
    {"became a link just before the change by path", [] {
         scenarios[1].arm(), fail("fchmodat", 0, 1, 0, [f = fixture] { f->swap(); }), fail("lstat", EINTR, 1000);
     }, false},
    {"a link, whose own attributes are reached by path", [] { fixture->swap(); }, true, "_ExtendedAttributes_"},
};
const std::string kSwapped = [] { const Fixture f; return f.swap(), " | :  | " + f.state(); }();  // a setter's outcome

std::map<std::string, Result> plain;  // each method's outcome in the plain scenario

void exercise(const Method &m, const Scenario &scenario) {
    if (scenario.only && !std::strstr(m.first, scenario.only)) return;
    SCOPED_TRACE(std::string(scenario.name) + ": " + m.first);
    const Arm &arm = scenario.arm;
    const Result first = run(m, arm);  // sets up what lasts, as the thread's converters
    const Result base = run(m, arm, true);
    const bool buffered = std::strstr(m.first, "_ExtendedAttributes_");  // a value or a list is held in a buffer
    // An ACL or a capability set is libacl's or libcap's, on their heap, and an ACL's text is as long as
    // it is (memcheck sees them freed).
    const bool library = std::strstr(m.first, "_PosixAcls_") || std::strstr(m.first, "_FileCapabilities_");
    const bool scanned = std::strstr(m.first, "_DirectoryScan_scan0");   // numbers and texts, each in one buffer
    const bool table = std::strstr(m.first, "_Mounts_list0") || std::strstr(m.first, "_Mounts_mountOf0");
    if (!table) {  // libmount builds the mount table in allocated memory
        EXPECT_LE(base.allocations, library ? 8 : scanned ? 2 : buffered ? 1 : 0) << "allocations with the log off";
    }
    const bool isPlain = plain.emplace(m.first, base).second;
    const Result &before = plain[m.first];
    if (!scenario.only) { EXPECT_EQ(scenario.faults || base.out == before.out ? before.out : kSwapped, base.out); }
    for (const auto &[call, count] : scenario.faults ? first.calls : decltype(first.calls){}) {
        if (!isPlain && before.calls.count(call)) continue;
        SCOPED_TRACE(call);
        for (int skip : std::set{0, count - 1})
            for (const Row &row : rowsOf(m.first, call, skip > 0))
                for (int err : row.errnos)
                    expectRow(row, err, run(m, also(arm, call, err, err == EINTR ? 1000 : 1, skip)), base);
        if (call.ends_with("_r")) {  // a user or group lookup, in which an error means no entry
            const std::string none = run(m, also(arm, call, EIO)).out;
            for (int n : {10, 11, 0}) {  // ERANGE n times grows the buffer up to 1 << 10 times; 0: malloc fails
                const auto r = run(m, n ? also(arm, call, ERANGE, n) : also(also(arm, call, ERANGE), "malloc", ENOMEM));
                EXPECT_EQ(n ? 11u : 1u, lookupSizes.size());
                for (size_t i = 0; i < lookupSizes.size(); ++i) EXPECT_EQ(lookupSizes[0] << i, lookupSizes[i]);
                EXPECT_EQ(n == 10 ? base.out : none, r.out);
            }
        }
    }
    // A JVM call that fails ends the method; the class of an exception missing, another is raised.
    for (const std::string function : {"FindClass", "NewString", "NewStringUTF", "NewObjectArray", "NewByteArray", "NewIntArray",
                                       "NewLongArray"})
        for (int failures : {1, 1 << 30}) {
            if (!isPlain || !base.calls.count(function)) continue;
            const Result r = run(m, [&] { arm(), jni->failing = function, jni->failures = failures; });
            const bool fallback = function == "FindClass" && failures == 1 && base.thrown != ": ";
            EXPECT_TRUE(r.pending) << function;
            EXPECT_EQ(fallback ? "java/lang/Exception" + base.thrown.substr(base.thrown.find(':')) : ": ", r.thrown);
        }
}

TEST(NativeMethods, EveryFaultOfEveryCallInEveryScenario) {
    for (const Scenario &scenario : scenarios)
        for (const Method &m : methods) exercise(m, scenario);
}

TEST(NativeMethods, FileReplacedBeforeItsReopeningIsNotActedOn) {
    for (const Method &m : methods) {
        const std::string name = m.first;  // the methods that reach a file with these arguments
        if (!std::strstr(m.first, "_ExtendedAttributes_") && !std::strstr(m.first, "_InodeFlags_") &&
            !name.ends_with("PosixAcls_get0") && !name.ends_with("FileCapabilities_get0") && !name.ends_with("FileCapabilities_remove0"))
            continue;
        SCOPED_TRACE(m.first);
        const Result r = run(m, [] {
            fail("open", 0, 1, 1, [f = fixture] { fs::rename(f->dir + "/f", f->dir + "/g"), std::ofstream(f->dir + "/f"); });
        });
        EXPECT_EQ(0u, r.thrown.find("com/zel/io/file/exception/FileNotFoundException: [ERRNO: 002]")) << r.thrown;
    }
}

// A directory's default ACL goes by path, checked by lstat before and after each use (four in all): a
// directory renamed into its place before the read is never changed; one renamed in after the write
// is reported, the change being on the examined directory.
TEST(NativeMethods, DirectorySwappedAroundItsDefaultAclIsNotActedOn) {
    const auto entries = [](const std::string &path) {
        acl_t acl = acl_get_file(path.c_str(), ACL_TYPE_DEFAULT);
        const int count = acl_entries(acl);
        return acl_free(acl), count;
    };
    for (int skip : {0, 3}) {
        SCOPED_TRACE(skip);
        const Fixture f;
        FakeJni j;
        fs::remove(f.dir + "/f"), fs::create_directory(f.dir + "/f"), fs::create_directory(f.dir + "/g");
        fail("lstat", 0, 1, skip, [&] { fs::rename(f.dir + "/f", f.dir + "/h"), fs::rename(f.dir + "/g", f.dir + "/f"); });
        Java_com_zel_io_file_PosixAcls_change0(&j.env, nullptr, j.string(f.dir + "/f"), JNI_TRUE, 1, j.string("g:0:r"));
        for (auto &entry : plans()) entry.second = Plan{};
        EXPECT_EQ(0u, j.message.find("[ERRNO: 002]")) << j.message;
        EXPECT_EQ(0, entries(f.dir + "/f")) << "the directory swapped in";
        EXPECT_EQ(skip ? 5 : 0, entries(f.dir + "/h")) << "the examined directory";
    }
}

// Without statx's mount id (before Linux 5.8), the mount that holds a file is found by its device
// and the longest mount point leading to it: here, where no bind mount is involved, the same one.
TEST(NativeMethods, MountFoundWithoutMountIdIsTheSame) {
    const Method &mountOf = *std::find_if(std::begin(methods), std::end(methods),
                                          [](const Method &m) { return std::strstr(m.first, "_mountOf0"); });
    for (const std::string path : {"@/f", "@/d/..", "/", "/proc/self", "/dev/shm"}) {  // @: the fixture's
        const auto arm = [path] {
            fs::create_directory(fixture->dir + "/d");
            jni->strings.front() = path[0] == '@' ? fixture->dir + path.substr(1) : path;
        };
        EXPECT_EQ(run(mountOf, arm).out, run(mountOf, [&] { arm(), fail("statx", ENOSYS, 1 << 30); }).out) << path;
    }
}

// The exported C routines take what no native method passes them: null texts, kinds no method raises.
TEST(ExportedInterface, NullsAndUnraisedKinds) {
    int error = 1, err = 1;
    volume.f_frsize = volume.f_bfree = volume.f_bavail = 1;
    EXPECT_EQ(0, UnixNativeFile_getFreeSpace(nullptr, &error, &err) + error + err);
    std::array<char, 8> out{};
    EXPECT_STREQ("abc", NativeFile_stringConverter(out.data(), "abc", 8, nullptr, "ISO8859-1"));
    nf::copyText(out.data(), "abcdefghij", 4);
    EXPECT_STREQ("abc", out.data());
    FakeJni jni;
    NativeFile_ThrowException(&jni.env, NF_OUT_OF_MEMORY, "x", 12);
    EXPECT_EQ("java/lang/OutOfMemoryError", jni.thrownClass);
}
