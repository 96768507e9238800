// The frame of every native method: see NativeFile_frame.h.
#include "NativeFile_frame.h"

#include <fcntl.h>
#include <limits>
#include <sys/syscall.h>
#include <unistd.h>

namespace nf {

namespace {

// The kernel's chmod of a descriptor or a path that never follows a final
// link (fchmodat2, Linux 6.6). It needs no /proc, unlike the C library's
// emulation of AT_SYMLINK_NOFOLLOW.
constexpr long kSysFchmodat2 = 452;

long fchmodat2(int fd, const char *path, mode_t mode, int flags) {
    return ::syscall(kSysFchmodat2, fd, path, mode, flags);
}

// Kernels before 6.6 cannot change the mode of an O_PATH descriptor: the
// change goes by path then, through the C library, which never follows a
// link. If the path became a link since it was examined, the change is
// skipped as for a link seen at once; anything else refusing it is an error.
int changeModeByPath(const NativePath &native, mode_t mode) {
    const int rc = retryOnEintr([&] { return ::fchmodat(AT_FDCWD, native.data(), mode, AT_SYMLINK_NOFOLLOW); });
    if (rc == -1 && (errno == EOPNOTSUPP || errno == ENOTSUP)) {
        const int err = errno;
        struct stat record {};
        if (retryOnEintr([&] { return ::lstat(native.data(), &record); }) == 0 && isLink(record.st_mode)) return 0;
        errno = err;
    }
    return rc;
}

}  // namespace

const ErrorRow &classify(Rows rows, int err) {
    for (const ErrorRow &row : rows.first(rows.size() - 1))
        for (int e : row.errnos)
            if (e != 0 && e == err) return row;
    return rows.back();
}

Opened::~Opened() {
    // Never retried: on Linux the descriptor is released even when close
    // reports EINTR, and a second close could hit another thread's file.
    if (fd_ >= 0) ::close(fd_);
}

bool Call::nullTest(std::initializer_list<jobject> args, const char *detail) {
    for (jobject arg : args) {
        if (arg == nullptr) {
            fail(NF_IO_ERROR, detail, 0);
            return false;
        }
    }
    return true;
}

bool Call::convert(std::initializer_list<std::pair<jstring, NativePath *>> args, const char *nullDetail,
                   Rows rows) {
    for (const auto &arg : args)
        if (!nullTest({arg.first}, nullDetail)) return false;
    for (const auto &[string, out] : args) {
        if (const int err = text(string, *out)) {
            errno = err;
            return check(-1, rows);
        }
    }
    return true;
}

bool Call::convertText(jstring string, std::vector<char> &out, const char *nullDetail) {
    if (!nullTest({string}, nullDetail)) return false;
    int err = 0;
    if (!allocating("No memory for the text.", [&] { return err = javaToNativeText(env_, string, out), true; }))
        return false;
    if (err == 0) return true;
    fail(NF_IO_ERROR, "The text holds a character that no native text can: U+0000 or a lone surrogate.", err);
    return false;
}

bool Call::check(int rc, Rows rows) {
    if (rc != -1) return true;
    const int err = errno;
    const ErrorRow &row = classify(rows, err);
    if (row.kind == kDone) return true;
    fail(row.kind, row.detail, err);
    return false;
}

bool Call::stat(jstring path, NativePath &native, struct stat &record) {
    if (!convert(path, native, kQueryRows)) return false;
    NativeFile_log("STATing file: [%s]\n", native.data());
    return check(retryOnEintr([&] { return ::lstat(native.data(), &record); }), kQueryRows);
}

bool Call::examine(const NativePath &native, Examined &file) {
    NativeFile_log("STATing file: [%s]\n", native.data());
    file.fd_ = retryOnEintr([&] { return ::open(native.data(), O_PATH | O_NOFOLLOW | O_CLOEXEC); });
    // fstat of a held descriptor waits for nothing a signal could interrupt.
    return check(file.fd_, kQueryRows) && check(::fstat(file.fd_, &file.record_), kQueryRows);
}

bool Call::reopen(const Examined &file, const NativePath &native, Opened &out, Rows rows) {
    const mode_t type = file.record_.st_mode & S_IFMT;
    if (type != S_IFREG && type != S_IFDIR) {
        errno = EOPNOTSUPP;
        return check(-1, rows);
    }
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (type == S_IFDIR ? O_DIRECTORY : 0);
    out.fd_ = retryOnEintr([&] { return ::open(native.data(), flags); });
    // The path examined as a file has become a link: it fails as a link seen
    // at once would.
    if (out.fd_ == -1 && errno == ELOOP) errno = EOPNOTSUPP;
    if (!check(out.fd_, rows)) return false;
    struct stat record {};
    if (!check(::fstat(out.fd_, &record), rows)) return false;
    if (record.st_dev != file.record_.st_dev || record.st_ino != file.record_.st_ino) {
        errno = ENOENT;
        return check(-1, rows);
    }
    return true;
}

jobjectArray Call::javaStrings(const char *const *texts, std::size_t count) {
    jclass stringClass = env_->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jobjectArray array = env_->NewObjectArray(static_cast<jsize>(count), stringClass, nullptr);
    env_->DeleteLocalRef(stringClass);
    for (std::size_t i = 0; array != nullptr && i < count; ++i) {
        jstring text = javaString(texts[i]);
        if (text == nullptr) return nullptr;
        env_->SetObjectArrayElement(array, static_cast<jsize>(i), text);
        env_->DeleteLocalRef(text);
    }
    return array;
}

void Packed::addText(const char *text, std::size_t length) {
    if (length == 0) return;
    if (!passThrough_) return appendUnits(text, length, units_);
    // The common case decoded in place, without asking the locale again.
    const std::size_t at = units_.size();
    units_.resize(at + length);
    units_.resize(at + decodeUTF8(text, length, units_.data() + at));
}

void Packed::reserve(std::size_t numberCount, std::size_t unitCount) {
    numbers.reserve(numberCount);
    units_.reserve(unitCount);
}

jlongArray Packed::toJava(JNIEnv *env, jobjectArray texts) const {
    // A Java array or String holds at most 2^31 - 1 elements: more would wrap to a wrong length.
    constexpr std::size_t kMost = std::numeric_limits<jsize>::max();
    if (units_.size() > kMost || numbers.size() > kMost) {
        NativeFile_ThrowException(env, NF_OUT_OF_MEMORY, "Too many entries for one Java array.", ENOMEM);
        return nullptr;
    }
    jstring all = env->NewString(units_.data(), static_cast<jsize>(units_.size()));
    if (all == nullptr) return nullptr;
    env->SetObjectArrayElement(texts, 0, all);
    env->DeleteLocalRef(all);
    jlongArray array = env->NewLongArray(static_cast<jsize>(numbers.size()));
    if (array != nullptr) env->SetLongArrayRegion(array, 0, static_cast<jsize>(numbers.size()), numbers.data());
    return array;
}

bool Call::changeMode(const Examined &file, const NativePath &native, mode_t mode) {
    if (isLink(file.record_.st_mode)) return true;
    mode &= ALL_CHMOD_MASK;
    NativeFile_log("Setting file mode data for file: [%s] to: [0x%x]\n", native.data(), mode);
    const long rc = retryOnEintr([&] { return fchmodat2(file.fd_, "", mode, AT_EMPTY_PATH); });
    if (rc == -1 && errno == ENOSYS) return check(changeModeByPath(native, mode), kChmodRows);
    return check(static_cast<int>(rc), kChmodRows);
}

bool Call::changeOwner(const Examined &file, uid_t owner, gid_t group) {
    return check(retryOnEintr([&] { return ::fchownat(file.fd_, "", owner, group, AT_EMPTY_PATH); }),
                 kChownRows);
}

}  // namespace nf
