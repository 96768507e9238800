// The native methods of com.zel.io.file.ExtendedAttributes: list, get, set
// and remove a file's extended attributes, on a link itself, never through
// it.
#include "NativeFile_frame.h"
#include "com_zel_io_file_ExtendedAttributes.h"

#include <cstdint>
#include <cstring>
#include <sys/xattr.h>
#include <vector>

#define NATIVE(...) NF_NATIVE(ExtendedAttributes, __VA_ARGS__)

namespace {

using nf::Call;
using nf::ErrorRow;
using nf::Examined;
using nf::NativePath;
using nf::retryOnEintr;

constexpr ErrorRow kXattrRows[] = {
    {{EACCES, EPERM}, NF_ACCESS_DENIED, "Could not access the extended attributes of the file.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{EOPNOTSUPP}, NF_NOT_SUPPORTED, "The file system does not support this extended attribute on this file."},
    {{ENODATA}, NF_IO_ERROR, "The file has no such extended attribute."},
    {{EEXIST}, NF_IO_ERROR, "The extended attribute exists already."},
    {{E2BIG, ERANGE, ENOSPC}, NF_IO_ERROR, "The extended attribute's name or value is over the system's limit."},
    {{}, NF_IO_ERROR, nf::kUnknown},
};

constexpr char kNullArgument[] = "filename, attribute name or value passed in was NULL.";

// Where an xattr call acts: a regular file or directory through a readable
// descriptor of the examined file (the *xattrat calls take no O_PATH
// descriptor); a link, device, FIFO or socket by its path, with the l*xattr
// calls that never follow a link.
class Target {
public:
    bool open(Call &call, const NativePath &native, const Examined &file) {
        path_ = native.data();
        const mode_t type = file.record().st_mode & S_IFMT;
        return (type != S_IFREG && type != S_IFDIR) || call.reopen(file, native, opened_, kXattrRows);
    }
    long get(const char *name, char *value, std::size_t size) const {
        return byFd() ? ::fgetxattr(fd(), name, value, size) : ::lgetxattr(path_, name, value, size);
    }
    long list(char *names, std::size_t size) const {
        return byFd() ? ::flistxattr(fd(), names, size) : ::llistxattr(path_, names, size);
    }
    long set(const char *name, const std::vector<char> &value, int flags) const {
        return byFd() ? ::fsetxattr(fd(), name, value.data(), value.size(), flags)
                      : ::lsetxattr(path_, name, value.data(), value.size(), flags);
    }
    long remove(const char *name) const {
        return byFd() ? ::fremovexattr(fd(), name) : ::lremovexattr(path_, name);
    }

private:
    bool byFd() const { return opened_.fd() >= 0; }
    int fd() const { return opened_.fd(); }
    const char *path_ = nullptr;
    nf::Opened opened_;
};

// Reads a text whose size can change between asking and reading: asked
// again while the kernel reports it grew (ERANGE). -1 with errno on failure.
template <class Read>
long readGrowing(std::vector<char> &buffer, Read read) {
    for (;;) {
        const long size = retryOnEintr([&] { return read(nullptr, 0); });
        if (size <= 0) return size;
        buffer.resize(static_cast<std::size_t>(size));
        const long got = retryOnEintr([&] { return read(buffer.data(), buffer.size()); });
        if (got != -1 || errno != ERANGE) return got;
    }
}

// The stage every method opens with: the arguments converted, the path
// examined, and the file to act on.
bool prepare(Call &call, jstring path, NativePath &native, std::initializer_list<std::pair<jstring, NativePath *>> names,
             Examined &file, Target &target) {
    if (!call.nullTest({path}, kNullArgument)) return false;
    for (const auto &[string, out] : names)
        if (!call.nullTest({string}, kNullArgument)) return false;
    if (!call.convert(path, native, kXattrRows)) return false;
    for (const auto &[string, out] : names)
        if (!call.convert({{string, out}}, kNullArgument, kXattrRows)) return false;
    return call.examine(native, file) && target.open(call, native, file);
}

}  // namespace

NATIVE(jobjectArray, list0, jstring path) {
    Call call(env, __func__);
    NativePath native;
    Examined file;
    Target target;
    if (!prepare(call, path, native, {}, file, target)) return nullptr;
    std::vector<char> names;
    const long size = readGrowing(names, [&](char *list, std::size_t room) { return target.list(list, room); });
    if (!call.check(static_cast<int>(size), kXattrRows)) return nullptr;
    std::vector<const char *> texts;
    for (std::size_t at = 0; at < static_cast<std::size_t>(size); at += std::strlen(&names[at]) + 1)
        texts.push_back(&names[at]);
    return call.javaStrings(texts.data(), texts.size());
}

NATIVE(jbyteArray, get0, jstring path, jstring name) {
    Call call(env, __func__);
    NativePath native;
    NativePath nameNative;
    Examined file;
    Target target;
    if (!prepare(call, path, native, {{name, &nameNative}}, file, target)) return nullptr;
    std::vector<char> value;
    const long size =
        readGrowing(value, [&](char *bytes, std::size_t room) { return target.get(nameNative.data(), bytes, room); });
    if (!call.check(static_cast<int>(size), kXattrRows)) return nullptr;
    jbyteArray array = env->NewByteArray(static_cast<jsize>(size));
    if (array != nullptr && size > 0)
        env->SetByteArrayRegion(array, 0, static_cast<jsize>(size), reinterpret_cast<const jbyte *>(value.data()));
    return array;
}

NATIVE(void, set0, jstring path, jstring name, jbyteArray value, jint flags) {
    Call call(env, __func__);
    NativePath native;
    NativePath nameNative;
    Examined file;
    Target target;
    if (!call.nullTest({value}, kNullArgument) || !prepare(call, path, native, {{name, &nameNative}}, file, target))
        return;
    std::vector<char> bytes(static_cast<std::size_t>(env->GetArrayLength(value)));
    env->GetByteArrayRegion(value, 0, static_cast<jsize>(bytes.size()), reinterpret_cast<jbyte *>(bytes.data()));
    NativeFile_log("Setting extended attribute [%s] of file: [%s]\n", nameNative.data(), native.data());
    call.check(static_cast<int>(retryOnEintr([&] { return target.set(nameNative.data(), bytes, flags); })), kXattrRows);
}

NATIVE(void, remove0, jstring path, jstring name) {
    Call call(env, __func__);
    NativePath native;
    NativePath nameNative;
    Examined file;
    Target target;
    if (!prepare(call, path, native, {{name, &nameNative}}, file, target)) return;
    NativeFile_log("Removing extended attribute [%s] of file: [%s]\n", nameNative.data(), native.data());
    call.check(static_cast<int>(retryOnEintr([&] { return target.remove(nameNative.data()); })), kXattrRows);
}
