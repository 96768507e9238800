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

// One call on a file's attributes: its frame, the path and the attribute's
// name in native form, the examined file and where to act on it.
struct Request {
    Request(JNIEnv *env, const char *method) : call(env, method) {}

    // The stage every method opens with: null tests and conversions of the
    // path and, where there is one, the name; then the examination.
    bool prepare(jstring pathString, std::initializer_list<jstring> nameString) {
        if (!call.nullTest({pathString}, kNullArgument)) return false;
        for (jstring string : nameString)
            if (!call.nullTest({string}, kNullArgument)) return false;
        if (!call.convert(pathString, path, kXattrRows)) return false;
        for (jstring string : nameString)
            if (!call.convert({{string, &name}}, kNullArgument, kXattrRows)) return false;
        return call.examine(path, file) && target.open(call, path, file);
    }

    Call call;
    NativePath path;
    NativePath name;
    Examined file;
    Target target;
};

}  // namespace

NATIVE(jobjectArray, list0, jstring path) {
    Request r(env, __func__);
    if (!r.prepare(path, {})) return nullptr;
    std::vector<char> names;
    const long size = readGrowing(names, [&](char *list, std::size_t room) { return r.target.list(list, room); });
    if (!r.call.check(static_cast<int>(size), kXattrRows)) return nullptr;
    std::vector<const char *> texts;
    for (std::size_t at = 0; at < static_cast<std::size_t>(size); at += std::strlen(&names[at]) + 1)
        texts.push_back(&names[at]);
    return r.call.javaStrings(texts.data(), texts.size());
}

NATIVE(jbyteArray, get0, jstring path, jstring name) {
    Request r(env, __func__);
    if (!r.prepare(path, {name})) return nullptr;
    std::vector<char> value;
    const long size =
        readGrowing(value, [&](char *bytes, std::size_t room) { return r.target.get(r.name.data(), bytes, room); });
    if (!r.call.check(static_cast<int>(size), kXattrRows)) return nullptr;
    jbyteArray array = env->NewByteArray(static_cast<jsize>(size));
    if (array != nullptr && size > 0)
        env->SetByteArrayRegion(array, 0, static_cast<jsize>(size), reinterpret_cast<const jbyte *>(value.data()));
    return array;
}

NATIVE(void, set0, jstring path, jstring name, jbyteArray value, jint flags) {
    Request r(env, __func__);
    if (!r.call.nullTest({value}, kNullArgument) || !r.prepare(path, {name})) return;
    std::vector<char> bytes(static_cast<std::size_t>(env->GetArrayLength(value)));
    env->GetByteArrayRegion(value, 0, static_cast<jsize>(bytes.size()), reinterpret_cast<jbyte *>(bytes.data()));
    NativeFile_log("Setting extended attribute [%s] of file: [%s]\n", r.name.data(), r.path.data());
    r.call.check(static_cast<int>(retryOnEintr([&] { return r.target.set(r.name.data(), bytes, flags); })), kXattrRows);
}

NATIVE(void, remove0, jstring path, jstring name) {
    Request r(env, __func__);
    if (!r.prepare(path, {name})) return;
    NativeFile_log("Removing extended attribute [%s] of file: [%s]\n", r.name.data(), r.path.data());
    r.call.check(static_cast<int>(retryOnEintr([&] { return r.target.remove(r.name.data()); })), kXattrRows);
}
