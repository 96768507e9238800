// The native methods of com.zel.io.file.DirectoryScan: a whole directory
// read in one call (getdents64, then fstatat and readlinkat relative to the
// directory's descriptor), so that a walk costs one JNI call per directory,
// not several per entry. Directories are opened relative to their parent's
// descriptor and never through a link, so that no path is ever resolved
// twice and no depth is limited by PATH_MAX.
#include "NativeFile_frame.h"
#include "UnixNativeFile_strutil.h"
#include "com_zel_io_file_DirectoryScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#define NATIVE(...) NF_NATIVE(DirectoryScan, __VA_ARGS__)

namespace {

using nf::Call;
using nf::ErrorRow;
using nf::NativePath;
using nf::retryOnEintr;

constexpr ErrorRow kDirectoryRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, "Could not read the directory.  Permission denied."},
    {{ENOENT, ENOTDIR, ELOOP}, NF_FILE_NOT_FOUND,
     "The directory does not exist on system, or something other than that directory is in its place."},
    {{ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{}, NF_IO_ERROR, nf::kUnknown},
};

// The numbers of an entry as DirectoryScan reads them: the stat fields (the
// device a device file stands for split as the C library splits it), then
// where its name and its link's text end in the texts of the call.
enum Field {
    kMode, kUid, kGid, kSize, kMtime, kInode, kDevice, kLinks, kBlocks, kMajor, kMinor, kNameEnd, kLinkEnd, kFields
};

constexpr jlong kNanos = 1'000'000'000;

using Numbers = std::array<jlong, kFields>;

// A time in nanoseconds; one beyond what a jlong holds (before 1677 or after
// 2262) is held at the nearest end.
jlong nanosOf(const timespec &time) {
    jlong nanos = 0;
    if (__builtin_mul_overflow(static_cast<jlong>(time.tv_sec), kNanos, &nanos) ||
        __builtin_add_overflow(nanos, static_cast<jlong>(time.tv_nsec), &nanos))
        return time.tv_sec < 0 ? std::numeric_limits<jlong>::min() : std::numeric_limits<jlong>::max();
    return nanos;
}

Numbers numbersOf(const struct stat &record, jlong nameEnd, jlong linkEnd) {
    const bool device = S_ISCHR(record.st_mode) || S_ISBLK(record.st_mode);
    return {static_cast<jlong>(record.st_mode), static_cast<jlong>(record.st_uid), static_cast<jlong>(record.st_gid),
            static_cast<jlong>(record.st_size), nanosOf(record.st_mtim),
            static_cast<jlong>(record.st_ino), static_cast<jlong>(record.st_dev), static_cast<jlong>(record.st_nlink),
            static_cast<jlong>(record.st_blocks), device ? static_cast<jlong>(major(record.st_rdev)) : 0,
            device ? static_cast<jlong>(minor(record.st_rdev)) : 0, nameEnd, linkEnd};
}

// What a call hands back: kFields numbers per entry, and every name and
// link text as one run of UTF-16 units, decoded once.
struct Gathered : nf::Packed {
    void add(const struct stat &record, const char *name, std::size_t nameLength, const char *link,
             std::size_t linkLength) {
        addText(name, nameLength);
        const jlong nameEnd = textEnd();
        addText(link, linkLength);
        const Numbers entry = numbersOf(record, nameEnd, textEnd());
        numbers.insert(numbers.end(), entry.begin(), entry.end());
    }
};

// A link's text, read relative to dirfd; its length, or -1 with errno.
long readLink(int dirfd, const char *name, NativePath &text) {
    const long length = retryOnEintr([&] { return ::readlinkat(dirfd, name, text.data(), text.size() - 1); });
    if (length >= 0) text[static_cast<std::size_t>(length)] = '\0';
    return length;
}

// One listed entry added. An entry removed since it was listed is left
// out, and so is one replaced by something other than a link between its
// stat and the reading of its text. False, errno set, on any other failure.
bool addEntry(Gathered &out, int dirfd, const char *name) {
    struct stat record {};
    NativePath link;
    long linkLength = 0;
    if (retryOnEintr([&] { return ::fstatat(dirfd, name, &record, AT_SYMLINK_NOFOLLOW); }) == -1)
        return errno == ENOENT;
    if (S_ISLNK(record.st_mode) && (linkLength = readLink(dirfd, name, link)) == -1)
        return errno == ENOENT || errno == EINVAL;
    out.add(record, name, std::strlen(name), link.data(), static_cast<std::size_t>(std::max(linkLength, 0L)));
    return true;
}

// Every entry of the directory but . and .., in the order the file system
// lists them. False, errno set, when the directory cannot be read.
bool readDirectory(Gathered &out, int fd) {
    alignas(dirent64) std::array<char, 32768> buffer;
    for (;;) {
        const long got = retryOnEintr([&] { return ::getdents64(fd, buffer.data(), buffer.size()); });
        if (got <= 0) return got == 0;
        for (long at = 0; at < got;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer.data() + at);
            at += entry->d_reclen;
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            if (!addEntry(out, fd, name)) return false;
        }
    }
}

}  // namespace

NATIVE(jint, open0, jint dirfd, jstring name, jlong device, jlong inode) {
    Call call(env, __func__);
    NativePath native;
    if (!call.convert(name, native, kDirectoryRows)) return 0;
    NativeFile_log("Opening directory: [%s]\n", native.data());
    const int fd = retryOnEintr(
        [&] { return ::openat(dirfd, native.data(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (!call.check(fd, kDirectoryRows)) return 0;
    struct stat record {};
    if (::fstat(fd, &record) == -1) {
        const int err = errno;
        ::close(fd);
        errno = err;
        call.check(-1, nf::kQueryRows);
        return 0;
    }
    // Another directory put in its place since it was read is not entered.
    if (static_cast<jlong>(record.st_dev) != device || static_cast<jlong>(record.st_ino) != inode) {
        ::close(fd);
        errno = ENOENT;
        call.check(-1, kDirectoryRows);
        return 0;
    }
    return fd;
}

NATIVE(jlongArray, scan0, jint fd, jobjectArray texts) {
    Call call(env, __func__);
    if (!call.nullTest({texts}, "texts passed in was NULL.")) return nullptr;
    return call.allocating("No memory for the entries of the directory.", [&]() -> jlongArray {
        Gathered out;
        out.reserve(kFields * 64, 64 * 16);
        if (!call.check(readDirectory(out, fd) ? 0 : -1, kDirectoryRows)) return nullptr;
        return out.toJava(env, texts);
    });
}

NATIVE(jlongArray, stat0, jstring path, jobjectArray texts) {
    Call call(env, __func__);
    NativePath native;
    struct stat record {};
    if (!call.nullTest({texts}, "texts passed in was NULL.") || !call.stat(path, native, record)) return nullptr;
    NativePath link;
    link[0] = '\0';
    if (S_ISLNK(record.st_mode) && !call.check(static_cast<int>(readLink(AT_FDCWD, native.data(), link)), nf::kQueryRows))
        return nullptr;
    jstring text = call.javaString(link.data());
    if (text == nullptr) return nullptr;
    const Numbers numbers = numbersOf(record, 0, env->GetStringLength(text));
    env->SetObjectArrayElement(texts, 0, text);
    env->DeleteLocalRef(text);
    jlongArray array = env->NewLongArray(kFields);
    if (array != nullptr) env->SetLongArrayRegion(array, 0, kFields, numbers.data());
    return array;
}

NATIVE(void, close0, jint fd) {
    Call call(env, __func__);
    // Never retried: see nf::Opened.
    ::close(fd);
}

NATIVE(jstring, name0, jlong id, jboolean group) {
    Call call(env, __func__);
    jstring name = nullptr;
    // An id beyond what an id can be names nobody, rather than the one it would wrap to.
    if (id < 0 || id > std::numeric_limits<unsigned>::max()) return nullptr;
    const auto number = static_cast<unsigned>(id);
    if (group)
        nf::groupNameOfId(call, number, name);
    else
        nf::userNameOfId(call, number, name);
    return name;
}
