// The native methods of com.zel.io.file.UnixNativeFile and the load hook,
// each in the frame of NativeFile_frame.h.
#include "NativeFile_frame.h"
#include "UnixNativeFile_filesys_statvfs.h"
#include "com_zel_io_file_UnixNativeFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef BUILDLEVEL
#error "BUILDLEVEL must name the build"
#endif

namespace {

using nf::Call;
using nf::ErrorRow;
using nf::Examined;
using nf::NativePath;
using nf::retryOnEintr;

constexpr ErrorRow kReadlinkRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, nf::kQueryDenied},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{}, NF_IO_ERROR, "System error occured."},
};

constexpr ErrorRow kSymlinkRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not create the link.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{EEXIST}, nf::kDone, nullptr},
    {{}, NF_IO_ERROR, nf::kUnknown},
};

constexpr ErrorRow kUnlinkRows[] = {
    {{EACCES, EBUSY}, NF_ACCESS_DENIED, "Could not access symlink for removal.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND,
     "Symlink does not exist on system or the symlink name was too long."},
    {{}, NF_IO_ERROR, nf::kUnknown},
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

// ---------------------------------------------------------------- mode bits

struct ClassBits {
    mode_t read, write, execute;
};
constexpr ClassBits kUserBits{S_IRUSR, S_IWUSR, S_IXUSR};
constexpr ClassBits kGroupBits{S_IRGRP, S_IWGRP, S_IXGRP};
constexpr ClassBits kWorldBits{S_IROTH, S_IWOTH, S_IXOTH};

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

template <class Edit>
void changeMode(JNIEnv *env, const char *name, jstring path, Edit edit) {
    Call call(env, name);
    Examined file;
    NativePath native;
    if (!call.examine(path, native, file)) return;
    mode_t mode = file.record().st_mode;
    edit(mode);
    call.changeMode(file, native, mode);
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
    nf::userNameOfId,
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
    nf::groupNameOfId,
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

// Whether a Java string is all decimal digits.
bool isDigitString(JNIEnv *env, jstring string) {
    return nf::everyUnit(env, string, [](unsigned u) { return u >= '0' && u <= '9'; });
}

void changeOwnership(JNIEnv *env, const char *name, jstring path, jstring who, const Side &side) {
    Call call(env, name);
    Examined file;
    NativePath native;
    NativePath whoNative;
    if (!call.nullTest({path, who}, side.nullDetail) || !call.convert(path, native, nf::kQueryRows)) return;
    // A user or group string that cannot be named natively is a name that no
    // database lists; that shows only after the file has been examined.
    const bool whoFits = call.text(who, whoNative) == 0;
    NativeFile_log("Altering file ownership for file: [%s] to %s: [%s]\n", native.data(), side.whoWord,
                   whoNative.data());
    if (!call.examine(native, file)) return;

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
    // The other id is left as the file has it at the change, not as it was
    // examined.
    constexpr unsigned kKeep = static_cast<unsigned>(-1);
    call.changeOwner(file, side.owner ? id : kKeep, side.owner ? kKeep : id);
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
    if (!call.nullTest({path}, nf::kNullPath)) return 0;
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
        const ErrorRow &row = nf::classify(kSpaceRows, error);
        call.fail(row.kind, row.detail, err);
    }
    return bytes;
}

}  // namespace

namespace nf {

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

}  // namespace nf

#define NATIVE(...) NF_NATIVE(UnixNativeFile, __VA_ARGS__)

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
    return nf::isLink(record.st_mode) ? JNI_TRUE : JNI_FALSE;
}

NATIVE(jstring, getSymLinkValue, jstring path) {
    Call call(env, __func__);
    NativePath native;
    if (!call.convert(path, native, kReadlinkRows)) return nullptr;
    NativeFile_log("Reading symlink data from: [%s]\n", native.data());
    // A link's text is at most PATH_MAX - 1 bytes, so it comes back whole.
    NativePath text;
    const ssize_t count = retryOnEintr([&] { return ::readlink(native.data(), text.data(), text.size() - 1); });
    if (count == -1) {
        call.check(-1, kReadlinkRows);
        return nullptr;
    }
    text[static_cast<std::size_t>(count)] = '\0';
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
    return call.javaStrings(list.texts, static_cast<std::size_t>(count));
}

NATIVE(jlong, getFreeSpace, jstring path) {
    return measureSpace(env, __func__, path, "Free", UnixNativeFile_getFreeSpace);
}

NATIVE(jlong, getFileSystemSize, jstring path) {
    return measureSpace(env, __func__, path, "Total", UnixNativeFile_getFileSystemSize);
}
