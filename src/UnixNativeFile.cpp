// The native methods of com.zel.io.file.UnixNativeFile and the load hook.
//
// Every method runs in one frame (class Call): entry and exit trace, the null
// test and conversion of its string arguments, system calls retried on EINTR,
// and classification of a failure's errno by a table of rows into exactly one
// Java exception. A method states only its own name, calls and rows.
#include "NativeFile.h"
#include "NativeFile_helper.h"
#include "UnixNativeFile_filesys_statvfs.h"
#include "com_zel_io_file_UnixNativeFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <span>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef BUILDLEVEL
#error "BUILDLEVEL must name the build"
#endif

namespace {

constexpr mode_t ALL_CHMOD_MASK = 0x0fff;

using NativePath = std::array<char, NF_PATH_LEN>;

constexpr char kNullPath[] = "filename passed in was NULL.";
constexpr char kQueryDenied[] = "Could not query file for information.  Permission denied.";
constexpr char kNotFound[] = "File does not exist on system or the file name was too long.";
constexpr char kUnknown[] = "Unknown system error occured.";

// Row kind for an errno that counts as success.
constexpr int kDone = 0;

// One row of a classification table: the errnos it matches (unused slots 0),
// the error kind and the detail text. Every table ends in a row without
// errnos, which takes every value no other row lists.
struct ErrorRow {
    std::array<int, 3> errnos;
    int kind;
    const char *detail;
};
using Rows = std::span<const ErrorRow>;

const ErrorRow &classify(Rows rows, int err) {
    for (const ErrorRow &row : rows.first(rows.size() - 1))
        for (int e : row.errnos)
            if (e != 0 && e == err) return row;
    return rows.back();
}

constexpr ErrorRow kQueryRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, kQueryDenied},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, kUnknown},
};

constexpr ErrorRow kChmodRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, "Could not access file for permissions change.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, kUnknown},
};

constexpr ErrorRow kLchownRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not change ownership of file.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, kUnknown},
};

constexpr ErrorRow kReadlinkRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, kQueryDenied},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, "System error occured."},
};

constexpr ErrorRow kSymlinkRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not create the link.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{EEXIST}, kDone, nullptr},
    {{}, NF_IO_ERROR, kUnknown},
};

constexpr ErrorRow kUnlinkRows[] = {
    {{EACCES, EBUSY}, NF_ACCESS_DENIED, "Could not access symlink for removal.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND,
     "Symlink does not exist on system or the symlink name was too long."},
    {{}, NF_IO_ERROR, kUnknown},
};

// The space helpers report an error code, not an errno; the same rows map
// the code.
constexpr ErrorRow kSpaceRows[] = {
    {{NF_ACCESS_DENIED}, NF_ACCESS_DENIED,
     "Could not access denoted path for space determination.  Permission denied."},
    {{NF_FILE_NOT_FOUND}, NF_FILE_NOT_FOUND,
     "The path does not exist on the system or the path was too long."},
    {{}, NF_IO_ERROR,
     "An unexpected OS error occurred while performing the operation.  Please refer to the system "
     "errno table for specifics."},
};

template <class Syscall>
int retryOnEintr(Syscall call) {
    int rc;
    do rc = call();
    while (rc == -1 && errno == EINTR);
    return rc;
}

// One native method's call, from its entry line to its exit line.
class Call {
public:
    Call(JNIEnv *env, const char *name) : env_(env), name_(name) { NativeFile_log_entry(name_); }
    ~Call() { NativeFile_log_exit(name_); }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    JNIEnv *env() const { return env_; }

    void fail(int kind, const char *detail, int err) {
        NativeFile_ThrowException(env_, kind, detail, err);
    }

    // Raises the error for a null argument; false when there is one.
    bool nullTest(std::initializer_list<jstring> args, const char *detail) {
        for (jstring string : args) {
            if (string == nullptr) {
                fail(NF_IO_ERROR, detail, 0);
                return false;
            }
        }
        return true;
    }

    // A Java string as native bytes: 0, or the errno with which the system
    // would refuse it (the text is then never used).
    int text(jstring string, NativePath &out) {
        return nf::javaToNativePath(env_, string, out.data(), out.size());
    }

    // Null test, then conversion of every argument, in that order. A text
    // that can name no file fails as the method's first system call would,
    // by its rows. False when the method must end: an exception is pending.
    bool convert(std::initializer_list<std::pair<jstring, NativePath *>> args,
                 const char *nullDetail, Rows rows) {
        for (const auto &[string, out] : args)
            if (!nullTest({string}, nullDetail)) return false;
        for (const auto &[string, out] : args) {
            if (const int err = text(string, *out)) {
                errno = err;
                return check(-1, rows);
            }
        }
        return true;
    }

    bool convert(jstring string, NativePath &out, Rows rows) {
        return convert({{string, &out}}, kNullPath, rows);
    }

    // Judges a system call's result; a failure's errno picks a row, which
    // throws unless it counts as done. True when the method may go on.
    bool check(int rc, Rows rows) {
        if (rc != -1) return true;
        const int err = errno;
        const ErrorRow &row = classify(rows, err);
        if (row.kind == kDone) return true;
        fail(row.kind, row.detail, err);
        return false;
    }

    bool lstat(const NativePath &path, struct stat &record) {
        return check(retryOnEintr([&] { return ::lstat(path.data(), &record); }), kQueryRows);
    }

    // The query stage most methods open with.
    bool stat(jstring path, NativePath &native, struct stat &record) {
        if (!convert(path, native, kQueryRows)) return false;
        NativeFile_log("STATing file: [%s]\n", native.data());
        return lstat(native, record);
    }

    jstring javaString(const char *text) { return nf::nativeToJava(env_, text, NF_PATH_LEN); }

private:
    JNIEnv *env_;
    const char *name_;
};

// ---------------------------------------------------------------- mode bits

struct ClassBits {
    mode_t read, write, execute;
};
constexpr ClassBits kUserBits{S_IRUSR, S_IWUSR, S_IXUSR};
constexpr ClassBits kGroupBits{S_IRGRP, S_IWGRP, S_IXGRP};
constexpr ClassBits kWorldBits{S_IROTH, S_IWOTH, S_IXOTH};

bool isLink(mode_t mode) { return NativeFile_isFlagSet(static_cast<int>(mode), S_IFLNK) != 0; }

jint queryTriple(JNIEnv *env, const char *name, jstring path, ClassBits bits) {
    Call call(env, name);
    struct stat record {};
    NativePath native;
    if (!call.stat(path, native, record)) return 0;
    const int mode = static_cast<int>(record.st_mode);
    jint triple = 0;
    if (NativeFile_isFlagSet(mode, static_cast<int>(bits.read))) triple |= 4;
    if (NativeFile_isFlagSet(mode, static_cast<int>(bits.write))) triple |= 2;
    if (NativeFile_isFlagSet(mode, static_cast<int>(bits.execute))) triple |= 1;
    return triple;
}

jboolean querySpecialBit(JNIEnv *env, const char *name, jstring path, mode_t bit) {
    Call call(env, name);
    struct stat record {};
    NativePath native;
    if (!call.stat(path, native, record)) return JNI_FALSE;
    return NativeFile_isFlagSet(static_cast<int>(record.st_mode), static_cast<int>(bit)) ? JNI_TRUE
                                                                                        : JNI_FALSE;
}

// The kernel's own chmod that never follows a final link (Linux 6.6); it
// needs no /proc, unlike the C library's emulation taken on older kernels.
constexpr long kSysFchmodat2 = 452;

int chmodNoFollow(const char *path, mode_t mode) {
    const long rc = ::syscall(kSysFchmodat2, AT_FDCWD, path, mode, AT_SYMLINK_NOFOLLOW);
    if (rc == -1 && errno == ENOSYS) return ::fchmodat(AT_FDCWD, path, mode, AT_SYMLINK_NOFOLLOW);
    return static_cast<int>(rc);
}

// A link cannot take a mode. If the path became one since it was examined,
// the change is skipped as for a link seen at once; anything else refusing
// the change is an error.
bool becameLink(const NativePath &path) {
    struct stat record {};
    return ::lstat(path.data(), &record) == 0 && isLink(record.st_mode);
}

// Writes an edited mode back, never through a symbolic link.
void writeBack(Call &call, const NativePath &path, mode_t mode) {
    if (isLink(mode)) return;
    mode &= ALL_CHMOD_MASK;
    NativeFile_log("Setting file mode data for file: [%s] to: [0x%x]\n", path.data(), mode);
    const int rc = retryOnEintr([&] { return chmodNoFollow(path.data(), mode); });
    if (rc == -1 && (errno == EOPNOTSUPP || errno == ENOTSUP)) {
        const int err = errno;
        if (becameLink(path)) return;
        errno = err;
    }
    call.check(rc, kChmodRows);
}

template <class Edit>
void changeMode(JNIEnv *env, const char *name, jstring path, Edit edit) {
    Call call(env, name);
    struct stat record {};
    NativePath native;
    if (!call.stat(path, native, record)) return;
    mode_t mode = record.st_mode;
    edit(mode);
    writeBack(call, native, mode);
}

void changeSpecialBit(JNIEnv *env, const char *name, jstring path, jboolean flag, mode_t bit) {
    changeMode(env, name, path, [&](mode_t &mode) {
        if (flag)
            mode |= bit;
        else if (mode & bit)
            mode &= static_cast<mode_t>(~bit);
    });
}

// ---------------------------------------------------------------- ownership

constexpr std::size_t kLookupSize = 16768;
// Directory-service groups with thousands of members need far more room
// than the first buffer; a lookup that reports ERANGE is retried this far.
constexpr std::size_t kLookupLimit = kLookupSize << 10;

struct FreeBuffer {
    void operator()(char *buffer) const { std::free(buffer); }
};

// Runs a reentrant database lookup, first in a stack buffer, then in larger
// heap buffers while it reports ERANGE. Calls use(record) when an entry is
// found; a missing entry, every error and a failed allocation count as no
// entry.
template <class Record, class Lookup, class Use>
bool lookUp(Lookup lookup, Use use) {
    Record record{};
    Record *found = nullptr;
    std::array<char, kLookupSize> buffer;
    int rc = lookup(&record, buffer.data(), buffer.size(), &found);
    std::unique_ptr<char, FreeBuffer> larger;
    for (std::size_t size = 2 * kLookupSize; rc == ERANGE && size <= kLookupLimit; size *= 2) {
        larger.reset();  // the smaller one goes back first
        larger.reset(static_cast<char *>(std::malloc(size)));
        if (!larger) break;
        record = Record{};
        rc = lookup(&record, larger.get(), size, &found);
    }
    if (rc != 0 || found == nullptr) return false;
    use(*found);
    return true;
}

bool userIdOfName(const char *name, unsigned &id) {
    return lookUp<passwd>(
        [&](passwd *r, char *b, std::size_t n, passwd **f) { return getpwnam_r(name, r, b, n, f); },
        [&](const passwd &r) { id = r.pw_uid; });
}

bool groupIdOfName(const char *name, unsigned &id) {
    return lookUp<group>(
        [&](group *r, char *b, std::size_t n, group **f) { return getgrnam_r(name, r, b, n, f); },
        [&](const group &r) { id = r.gr_gid; });
}

bool userNameOfId(Call &call, unsigned id, jstring &name) {
    return lookUp<passwd>(
        [&](passwd *r, char *b, std::size_t n, passwd **f) { return getpwuid_r(id, r, b, n, f); },
        [&](const passwd &r) { name = call.javaString(r.pw_name); });
}

bool groupNameOfId(Call &call, unsigned id, jstring &name) {
    return lookUp<group>(
        [&](group *r, char *b, std::size_t n, group **f) { return getgrgid_r(id, r, b, n, f); },
        [&](const group &r) { name = call.javaString(r.gr_name); });
}

// What tells owner from group, as data: the two sides of one family.
struct Side {
    const char *nullDetail;
    // Words of the log lines, which keep their formats literal.
    const char *whoWord;   // "user" or "group"
    const char *roleWord;  // "owner" or "group"
    const char *idWord;    // "UID" or "GID"
    int invalidKind;
    const char *overflowDetail;
    const char *noNameDetail;
    bool (*idOfName)(const char *name, unsigned &id);
    bool (*nameOfId)(Call &call, unsigned id, jstring &name);
    bool owner;  // st_uid is the id this side reads and changes; else st_gid
};

constexpr char kGroupNotFound[] =
    "Problems retrieving GID information.  The string was an invalid GID, and it couldn't be "
    "mapped to a groupname, either.";

constexpr Side kOwnerSide{
    "filename or username passed in was NULL.",
    "user",
    "owner",
    "UID",
    NF_INVALID_USER,
    "Problems retrieving UID information.  The string was an invalid UID, and it couldn't be "
    "mapped to a username either.",
    "The username passed down does not appear to exist on the system.  Cannot re-assign.",
    userIdOfName,
    userNameOfId,
    true,
};

constexpr Side kGroupSide{
    "filename or groupname passed in was NULL.",
    "group",
    "group",
    "GID",
    NF_INVALID_GROUP,
    kGroupNotFound,
    kGroupNotFound,
    groupIdOfName,
    groupNameOfId,
    false,
};

jstring queryOwnership(JNIEnv *env, const char *name, jstring path, const Side &side) {
    Call call(env, name);
    struct stat record {};
    NativePath native;
    if (!call.stat(path, native, record)) return nullptr;
    const unsigned id = side.owner ? record.st_uid : record.st_gid;
    jstring found = nullptr;
    if (side.nameOfId(call, id, found)) return found;
    NativePath decimal;
    std::snprintf(decimal.data(), decimal.size(), "%d", static_cast<int>(id));
    return call.javaString(decimal.data());
}

// Every byte a decimal digit; the empty string is one too.
bool isDigitString(const char *text) {
    for (; *text != '\0'; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

// Whether a Java string is all decimal digits, read in stack-sized pieces.
bool isDigitString(JNIEnv *env, jstring string) {
    std::array<jchar, 256> units;
    const jsize length = env->GetStringLength(string);
    for (jsize at = 0; at < length; at += static_cast<jsize>(units.size())) {
        const jsize count = std::min(length - at, static_cast<jsize>(units.size()));
        env->GetStringRegion(string, at, count, units.data());
        for (jsize i = 0; i < count; ++i)
            if (units[static_cast<std::size_t>(i)] < '0' || units[static_cast<std::size_t>(i)] > '9')
                return false;
    }
    return true;
}

void changeOwnership(JNIEnv *env, const char *name, jstring path, jstring who, const Side &side) {
    Call call(env, name);
    struct stat record {};
    NativePath native;
    NativePath whoNative;
    if (!call.nullTest({path, who}, side.nullDetail) || !call.convert(path, native, kQueryRows)) return;
    // A user or group string that cannot be named natively is a name that no
    // database lists; that shows only after the file has been examined.
    const bool whoFits = call.text(who, whoNative) == 0;
    NativeFile_log("Altering file ownership for file: [%s] to %s: [%s]\n", native.data(), side.whoWord,
                   whoNative.data());
    if (!call.lstat(native, record)) return;

    unsigned id = 0;
    if (!whoFits) {
        call.fail(side.invalidKind, isDigitString(env, who) ? side.overflowDetail : side.noNameDetail, 0);
        return;
    }
    if (isDigitString(whoNative.data())) {
        const long value = std::strtol(whoNative.data(), nullptr, 10);
        if (value <= INT_MAX) {
            id = static_cast<unsigned>(value);
        } else if (!side.idOfName(whoNative.data(), id)) {
            call.fail(side.invalidKind, side.overflowDetail, 0);
            return;
        }
    } else if (!side.idOfName(whoNative.data(), id)) {
        call.fail(side.invalidKind, side.noNameDetail, 0);
        return;
    }
    NativeFile_log("Assigning file: [%s] %s to be %s: [%d]\n", native.data(), side.roleWord, side.idWord,
                   static_cast<int>(id));
    const uid_t owner = side.owner ? id : record.st_uid;
    const gid_t group = side.owner ? record.st_gid : id;
    call.check(retryOnEintr([&] { return ::lchown(native.data(), owner, group); }), kLchownRows);
}

// ---------------------------------------------------------------- file systems

struct MountList {
    char **texts;
    ~MountList() { UnixNativeFile_freeMountList(texts); }
};

using SpaceHelper = long long (*)(const char *, int *, int *);

// measure is "Free" or "Total", a word of the log line.
jlong measureSpace(JNIEnv *env, const char *name, jstring path, const char *measure,
                   SpaceHelper helper) {
    Call call(env, name);
    NativePath native;
    if (!call.nullTest({path}, kNullPath)) return 0;
    int error = 0;
    int err = call.text(path, native);
    long long bytes = 0;
    if (err != 0) {
        error = nf::statvfsErrorCode(err);
    } else {
        NativeFile_log("%s disk space query being made using base file path: [%s]\n", measure,
                       native.data());
        bytes = helper(native.data(), &error, &err);
    }
    if (error != 0) {
        const ErrorRow &row = classify(kSpaceRows, error);
        call.fail(row.kind, row.detail, err);
    }
    return bytes;
}

}  // namespace

#define NATIVE(result, method, ...)                                                              \
    extern "C" NF_EXPORT result JNICALL Java_com_zel_io_file_UnixNativeFile_##method(          \
        JNIEnv *env, jclass __VA_OPT__(, ) __VA_ARGS__)

extern "C" NF_EXPORT jint JNICALL JNI_OnLoad(JavaVM *, void *) {
    NativeFile_log_init_dbg();
    NativeFile_log("Nativefile library initialized.  Build version is: [%s]\n", BUILDLEVEL);
    return JNI_VERSION_1_2;
}

NATIVE(jint, getUserPermissions, jstring path) { return queryTriple(env, __func__, path, kUserBits); }
NATIVE(jint, getGroupPermissions, jstring path) { return queryTriple(env, __func__, path, kGroupBits); }
NATIVE(jint, getWorldPermissions, jstring path) { return queryTriple(env, __func__, path, kWorldBits); }

NATIVE(void, setUserPermissions, jstring path, jint triple) {
    changeMode(env, __func__, path, [&](mode_t &m) { UnixNativeFile_setUserPermissions(&m, triple); });
}

NATIVE(void, setGroupPermissions, jstring path, jint triple) {
    changeMode(env, __func__, path, [&](mode_t &m) { UnixNativeFile_setGroupPermissions(&m, triple); });
}

NATIVE(void, setWorldPermissions, jstring path, jint triple) {
    changeMode(env, __func__, path, [&](mode_t &m) { UnixNativeFile_setWorldPermissions(&m, triple); });
}

NATIVE(void, setPermissions, jstring path, jint user, jint group, jint world) {
    changeMode(env, __func__, path, [&](mode_t &m) {
        UnixNativeFile_setUserPermissions(&m, user);
        UnixNativeFile_setGroupPermissions(&m, group);
        UnixNativeFile_setWorldPermissions(&m, world);
    });
}

NATIVE(jboolean, isSetGIDBit, jstring path) { return querySpecialBit(env, __func__, path, S_ISGID); }
NATIVE(jboolean, isSetUIDBit, jstring path) { return querySpecialBit(env, __func__, path, S_ISUID); }
NATIVE(jboolean, isSetStickyBit, jstring path) { return querySpecialBit(env, __func__, path, S_ISVTX); }

NATIVE(void, setGIDBit, jstring path, jboolean flag) { changeSpecialBit(env, __func__, path, flag, S_ISGID); }
NATIVE(void, setUIDBit, jstring path, jboolean flag) { changeSpecialBit(env, __func__, path, flag, S_ISUID); }
NATIVE(void, setStickyBit, jstring path, jboolean flag) {
    changeSpecialBit(env, __func__, path, flag, S_ISVTX);
}

NATIVE(jstring, getFileOwner, jstring path) { return queryOwnership(env, __func__, path, kOwnerSide); }
NATIVE(jstring, getFileGroup, jstring path) { return queryOwnership(env, __func__, path, kGroupSide); }

NATIVE(void, setFileOwner, jstring path, jstring user) {
    changeOwnership(env, __func__, path, user, kOwnerSide);
}

NATIVE(void, setFileGroup, jstring path, jstring group) {
    changeOwnership(env, __func__, path, group, kGroupSide);
}

NATIVE(jboolean, isSymLink, jstring path) {
    Call call(env, __func__);
    struct stat record {};
    NativePath native;
    if (!call.stat(path, native, record)) return JNI_FALSE;
    return isLink(record.st_mode) ? JNI_TRUE : JNI_FALSE;
}

NATIVE(jstring, getSymLinkValue, jstring path) {
    Call call(env, __func__);
    NativePath native;
    if (!call.convert(path, native, kReadlinkRows)) return nullptr;
    NativeFile_log("Reading symlink data from: [%s]\n", native.data());
    NativePath text;
    const ssize_t count = ::readlink(native.data(), text.data(), text.size());
    text.back() = '\0';
    if (count == -1) {
        call.check(-1, kReadlinkRows);
        return nullptr;
    }
    if (static_cast<std::size_t>(count) < text.size()) text[static_cast<std::size_t>(count)] = '\0';
    return call.javaString(text.data());
}

NATIVE(void, createSymLink, jstring linkPath, jstring realPath) {
    Call call(env, __func__);
    NativePath link;
    NativePath real;
    if (!call.convert({{linkPath, &link}, {realPath, &real}},
                      "filename to link to, and/or from, passed in was NULL.", kSymlinkRows))
        return;
    NativeFile_log("Creating symbolic link from: [%s] to 'real' file: [%s]\n", link.data(), real.data());
    call.check(retryOnEintr([&] { return ::symlink(real.data(), link.data()); }), kSymlinkRows);
}

NATIVE(void, symlinkDelete, jstring path) {
    Call call(env, __func__);
    NativePath native;
    if (!call.convert(path, native, kUnlinkRows)) return;
    NativeFile_log("Deleting symbolic link: [%s]\n", native.data());
    call.check(retryOnEintr([&] { return ::unlink(native.data()); }), kUnlinkRows);
}

NATIVE(jobjectArray, getMountedFileSystems) {
    Call call(env, __func__);
    int error = 0;
    const MountList list{UnixNativeFile_getMountList(&error)};
    if (error != 0) {
        call.fail(NF_IO_ERROR,
                  "There was a problem with querying the OS for mount entries.  A list could not be "
                  "determined.  IO error.",
                  0);
        return nullptr;
    }
    jsize count = 0;
    while (list.texts != nullptr && list.texts[count] != nullptr) ++count;
    if (count == 0) return nullptr;
    NativeFile_log("Processing [%d] native strings for return to Java.\n", count);

    // Each element's local reference is dropped once stored: a table of
    // thousands of mounts must not exhaust the JVM's local references.
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jstring empty = env->NewStringUTF("");
    if (empty == nullptr) return nullptr;
    jobjectArray array = env->NewObjectArray(count, stringClass, empty);
    env->DeleteLocalRef(empty);
    env->DeleteLocalRef(stringClass);
    if (array == nullptr) return nullptr;
    for (jsize i = 0; i < count; ++i) {
        jstring text = call.javaString(list.texts[i]);
        if (text == nullptr) return nullptr;
        env->SetObjectArrayElement(array, i, text);
        env->DeleteLocalRef(text);
    }
    return array;
}

NATIVE(jlong, getFreeSpace, jstring path) {
    return measureSpace(env, __func__, path, "Free", UnixNativeFile_getFreeSpace);
}

NATIVE(jlong, getFileSystemSize, jstring path) {
    return measureSpace(env, __func__, path, "Total", UnixNativeFile_getFileSystemSize);
}
