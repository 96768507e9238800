// The floor of every native method: the same system calls in a C++ loop. Beside
// it, the native methods of the shipped library called through a minimal
// JNIEnv, which shows the library's own cost apart from the JVM's.
//
//   nativefile_floor [benchmark flags] DIR   times every case on the files in DIR
//   nativefile_floor --count NAME N DIR      runs one case N times, untimed (for callgrind)
//
// DIR holds the benchmark's files, made by the Java driver (Bench --fixture).
#include "NativeFile.h"
#include "com_zel_io_file_Mounts.h"
#include "com_zel_io_file_UnixFileMode.h"
#include "com_zel_io_file_UnixNativeFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <libmount/libmount.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------- a minimal JNIEnv

// A Java string as the native methods see it: UTF-16 units.
struct FakeString {
    std::u16string units;
};

jstring javaString(const std::string &ascii) {
    // Leaked on purpose: the strings live as long as the benchmark.
    auto *string = new FakeString{std::u16string(ascii.begin(), ascii.end())};
    return reinterpret_cast<jstring>(string);
}

const FakeString &of(jstring string) { return *reinterpret_cast<const FakeString *>(string); }

// Every object the native methods make is this one: the benchmark never
// looks at results, it only must not allocate for them.
_jobject made;

JNIEnv *benchEnv() {
    static JNINativeInterface_ table = [] {
        JNINativeInterface_ t{};
        t.GetStringLength = [](JNIEnv *, jstring s) { return static_cast<jsize>(of(s).units.size()); };
        t.GetStringRegion = [](JNIEnv *, jstring s, jsize start, jsize length, jchar *out) {
            std::memcpy(out, of(s).units.data() + start, static_cast<std::size_t>(length) * sizeof(jchar));
        };
        t.NewString = [](JNIEnv *, const jchar *, jsize) { return static_cast<jstring>(&made); };
        t.NewStringUTF = [](JNIEnv *, const char *) { return static_cast<jstring>(&made); };
        t.FindClass = [](JNIEnv *, const char *) { return static_cast<jclass>(&made); };
        t.NewObjectArray = [](JNIEnv *, jsize, jclass, jobject) { return static_cast<jobjectArray>(&made); };
        t.SetObjectArrayElement = [](JNIEnv *, jobjectArray, jsize, jobject) {};
        t.NewLongArray = [](JNIEnv *, jsize) { return static_cast<jlongArray>(&made); };
        t.SetLongArrayRegion = [](JNIEnv *, jlongArray, jsize, jsize, const jlong *) {};
        t.DeleteLocalRef = [](JNIEnv *, jobject) {};
        // A case that fails measures the wrong thing: stop at once.
        t.ThrowNew = [](JNIEnv *, jclass, const char *message) -> jint {
            std::fprintf(stderr, "nativefile_floor: a native method failed: %s\n", message);
            std::exit(2);
        };
        return t;
    }();
    static JNIEnv env{&table};
    return &env;
}

// ---------------------------------------------------------------- the files

struct Files {
    std::string regular, link, changed, owned, newLink, user, group;
    uid_t uid = 0;
    gid_t gid = 0;
};

Files files(const std::string &dir) {
    Files f{dir + "/regular.txt", dir + "/link", dir + "/changed.txt", dir + "/owned.txt",
            dir + "/new-link", "", ""};
    struct stat record {};
    if (::lstat(f.owned.c_str(), &record) != 0 || ::lstat(f.link.c_str(), &record) != 0) {
        std::fprintf(stderr, "nativefile_floor: no benchmark files in %s\n", dir.c_str());
        std::exit(2);
    }
    ::lstat(f.owned.c_str(), &record);
    f.uid = record.st_uid;
    f.gid = record.st_gid;
    const passwd *user = getpwuid(f.uid);
    const group *group = getgrgid(f.gid);
    f.user = user != nullptr ? user->pw_name : std::to_string(f.uid);
    f.group = group != nullptr ? group->gr_name : std::to_string(f.gid);
    return f;
}

void check(bool ok, const char *what) {
    if (!ok) {
        std::perror(what);
        std::exit(2);
    }
}

// A path held with O_PATH, never through a final link, closed at scope end.
struct PathFd {
    int fd;
    explicit PathFd(const std::string &path) : fd(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)) {
        check(fd >= 0, "open");
    }
    ~PathFd() { ::close(fd); }
};

// Parses the mount table and reads every mount's mount point.
void readMountTable() {
    libmnt_table *table = mnt_new_table();
    check(table != nullptr && mnt_table_parse_file(table, "/proc/self/mountinfo") == 0, "mnt_table_parse_file");
    libmnt_iter *iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs *fs = nullptr;
    while (mnt_table_next_fs(table, iter, &fs) == 0) benchmark::DoNotOptimize(mnt_fs_get_target(fs));
    mnt_free_iter(iter);
    mnt_unref_table(table);
}

// ---------------------------------------------------------------- the cases

using Case = std::pair<std::string, std::function<void()>>;

// The system calls each native method makes, as a C program would make them.
std::vector<Case> floorCases(const Files &f) {
    constexpr std::size_t kLookupSize = 16768;
    return {
        {"lstat", [&f] {
             struct stat s;
             check(::lstat(f.regular.c_str(), &s) == 0, "lstat");
         }},
        {"lstat(link)", [&f] {
             struct stat s;
             check(::lstat(f.link.c_str(), &s) == 0, "lstat");
         }},
        {"lstat+getpwuid_r", [&f] {
             struct stat s;
             check(::lstat(f.regular.c_str(), &s) == 0, "lstat");
             passwd record, *found;
             std::array<char, kLookupSize> buffer;
             check(getpwuid_r(s.st_uid, &record, buffer.data(), buffer.size(), &found) == 0, "getpwuid_r");
             benchmark::DoNotOptimize(found);
         }},
        {"lstat+getgrgid_r", [&f] {
             struct stat s;
             check(::lstat(f.regular.c_str(), &s) == 0, "lstat");
             group record, *found;
             std::array<char, kLookupSize> buffer;
             check(getgrgid_r(s.st_gid, &record, buffer.data(), buffer.size(), &found) == 0, "getgrgid_r");
             benchmark::DoNotOptimize(found);
         }},
        // The changes as the library makes them: the path held with O_PATH,
        // examined and changed through that descriptor.
        {"open+fstat+fchmodat2", [&f] {
             const PathFd fd(f.changed);
             struct stat s;
             check(::fstat(fd.fd, &s) == 0, "fstat");
             check(::syscall(452, fd.fd, "", s.st_mode & 07777, AT_EMPTY_PATH) == 0, "fchmodat2");
         }},
        {"open+fstat+getpwnam_r+fchownat", [&f] {
             const PathFd fd(f.owned);
             struct stat s;
             check(::fstat(fd.fd, &s) == 0, "fstat");
             passwd record, *found;
             std::array<char, kLookupSize> buffer;
             check(getpwnam_r(f.user.c_str(), &record, buffer.data(), buffer.size(), &found) == 0 && found,
                   "getpwnam_r");
             check(::fchownat(fd.fd, "", found->pw_uid, static_cast<gid_t>(-1), AT_EMPTY_PATH) == 0, "fchownat");
         }},
        {"open+fstat+getgrnam_r+fchownat", [&f] {
             const PathFd fd(f.owned);
             struct stat s;
             check(::fstat(fd.fd, &s) == 0, "fstat");
             group record, *found;
             std::array<char, kLookupSize> buffer;
             check(getgrnam_r(f.group.c_str(), &record, buffer.data(), buffer.size(), &found) == 0 && found,
                   "getgrnam_r");
             check(::fchownat(fd.fd, "", static_cast<uid_t>(-1), found->gr_gid, AT_EMPTY_PATH) == 0, "fchownat");
         }},
        {"readlink", [&f] {
             std::array<char, NF_PATH_LEN> text;
             check(::readlink(f.link.c_str(), text.data(), text.size()) > 0, "readlink");
         }},
        {"symlink+unlink", [&f] {
             check(::symlink("regular.txt", f.newLink.c_str()) == 0, "symlink");
             check(::unlink(f.newLink.c_str()) == 0, "unlink");
         }},
        // The mount table as a C program reads it through libmount; for a
        // file's mount, the file examined and its mount id from statx first.
        {"libmount mountinfo", [] { readMountTable(); }},
        {"open+fstat+statx+libmount", [&f] {
             const PathFd fd(f.regular);
             struct stat s;
             check(::fstat(fd.fd, &s) == 0, "fstat");
             struct statx x;
             check(::statx(fd.fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &x) == 0, "statx");
             readMountTable();
         }},
        {"statvfs+geteuid", [&f] {
             struct statvfs s;
             check(::statvfs(f.regular.c_str(), &s) == 0, "statvfs");
             benchmark::DoNotOptimize(geteuid());
         }},
        {"statvfs", [&f] {
             struct statvfs s;
             check(::statvfs(f.regular.c_str(), &s) == 0, "statvfs");
         }},
    };
}

// The native methods on the same files, as the Java benchmark calls them.
std::vector<Case> nativeCases(const Files &f) {
    JNIEnv *env = benchEnv();
    const jstring regular = javaString(f.regular), link = javaString(f.link),
                  changed = javaString(f.changed), owned = javaString(f.owned),
                  newLink = javaString(f.newLink), target = javaString("regular.txt"),
                  user = javaString(f.user), group = javaString(f.group);
    const jobjectArray texts = env->NewObjectArray(1, nullptr, nullptr);
#define NF_CALL(method, ...) Java_com_zel_io_file_UnixNativeFile_##method(env, nullptr, __VA_ARGS__)
#define NF_CASE(method, ...) {"native/" #method, [=] { benchmark::DoNotOptimize(NF_CALL(method, __VA_ARGS__)); }}
#define NF_VOID_CASE(method, ...) {"native/" #method, [=] { NF_CALL(method, __VA_ARGS__); }}
    return {
        NF_CASE(getUserPermissions, regular),
        NF_CASE(getGroupPermissions, regular),
        NF_CASE(getWorldPermissions, regular),
        NF_CASE(isSetUIDBit, regular),
        NF_CASE(isSetGIDBit, regular),
        NF_CASE(isSetStickyBit, regular),
        NF_CASE(getFileOwner, regular),
        NF_CASE(getFileGroup, regular),
        NF_CASE(isSymLink, link),
        NF_CASE(getSymLinkValue, link),
        NF_CASE(getFreeSpace, regular),
        NF_CASE(getFileSystemSize, regular),
        NF_VOID_CASE(setUserPermissions, changed, 6),
        NF_VOID_CASE(setGroupPermissions, changed, 4),
        NF_VOID_CASE(setWorldPermissions, changed, 0),
        NF_VOID_CASE(setPermissions, changed, 6, 4, 0),
        NF_VOID_CASE(setUIDBit, changed, JNI_FALSE),
        NF_VOID_CASE(setGIDBit, changed, JNI_FALSE),
        NF_VOID_CASE(setStickyBit, changed, JNI_FALSE),
        NF_VOID_CASE(setFileOwner, owned, user),
        NF_VOID_CASE(setFileGroup, owned, group),
        {"native/UnixFileMode.getMode",
         [=] { benchmark::DoNotOptimize(Java_com_zel_io_file_UnixFileMode_getMode(env, nullptr, regular)); }},
        {"native/UnixFileMode.setMode", [=] { Java_com_zel_io_file_UnixFileMode_setMode(env, nullptr, changed, 0640); }},
        {"native/createSymLink+symlinkDelete",
         [=] {
             NF_CALL(createSymLink, newLink, target);
             NF_CALL(symlinkDelete, newLink);
         }},
        {"native/getMountedFileSystems",
         [=] { benchmark::DoNotOptimize(Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems(env, nullptr)); }},
        {"native/Mounts.list", [=] { benchmark::DoNotOptimize(Java_com_zel_io_file_Mounts_list0(env, nullptr, texts)); }},
        {"native/Mounts.mountOf",
         [=] { benchmark::DoNotOptimize(Java_com_zel_io_file_Mounts_mountOf0(env, nullptr, regular, texts)); }},
    };
#undef NF_VOID_CASE
#undef NF_CASE
#undef NF_CALL
}

std::vector<Case> allCases(const Files &f) {
    std::vector<Case> cases = floorCases(f);
    for (Case &c : nativeCases(f)) cases.push_back(std::move(c));
    return cases;
}

}  // namespace

int main(int argc, char **argv) {
    // As a JVM does at start, so that the native methods see the locale.
    std::setlocale(LC_ALL, "");
    NativeFile_log_init_dbg();
    if (argc == 5 && std::string(argv[1]) == "--count") {
        const Files f = files(argv[4]);
        for (auto &[name, body] : allCases(f)) {
            if (name != argv[2]) continue;
            for (long i = std::atol(argv[3]); i > 0; --i) body();
            return 0;
        }
        std::fprintf(stderr, "nativefile_floor: no case %s\n", argv[2]);
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: nativefile_floor [benchmark flags] DIR\n"
                             "       nativefile_floor --count NAME N DIR\n");
        return 2;
    }
    const Files f = files(argv[1]);
    const std::vector<Case> cases = allCases(f);
    for (const Case &c : cases) {
        benchmark::RegisterBenchmark(c.first.c_str(), [&c](benchmark::State &state) {
            for (auto _ : state) c.second();
        });
    }
    // How far the machine lets the queries' system calls scale: the bound
    // of the queries' own thread scaling.
    const std::array<std::string, 9> queryFloors{
        "lstat", "lstat(link)", "lstat+getpwuid_r", "lstat+getgrgid_r", "readlink", "libmount mountinfo",
        "open+fstat+statx+libmount", "statvfs+geteuid", "statvfs"};
    for (const Case &c : cases) {
        if (std::find(queryFloors.begin(), queryFloors.end(), c.first) == queryFloors.end()) continue;
        benchmark::RegisterBenchmark(("scaling/" + c.first).c_str(), [&c](benchmark::State &state) {
            for (auto _ : state) c.second();
        })->Threads(1)->Threads(2)->UseRealTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
