// The native methods of com.zel.io.file.FileCapabilities: a regular file's
// capability set, read, set and removed with libcap in the text form of
// getcap and setcap, through a readable descriptor of the examined file.
#include "NativeFile_frame.h"
#include "com_zel_io_file_FileCapabilities.h"

#include <sys/capability.h>
#include <vector>

#define NATIVE(...) NF_NATIVE(FileCapabilities, __VA_ARGS__)

namespace {

using nf::Call;
using nf::ErrorRow;

constexpr ErrorRow kCapRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not access the capabilities of the file.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{EOPNOTSUPP, ENOTTY}, NF_NOT_SUPPORTED, "Only a regular file on a file system with extended attributes has capabilities."},
    {{ENODATA}, NF_IO_ERROR, "The file has no capabilities."},
    {{ENOMEM}, NF_IO_ERROR, "Not enough memory for the capability set."},
    {{EINVAL}, NF_IO_ERROR, "The system refuses the capability set: an effective set must be empty or all permitted and inheritable ones."},
    {{}, NF_IO_ERROR, nf::kUnknown},
};

constexpr char kNullArgument[] = "filename or capability text passed in was NULL.";

// A capability set or text the call holds, freed when the call ends.
template <class T>
struct Held {
    T value;
    ~Held() {
        if (value != nullptr) cap_free(value);
    }
};

// The stage every method opens with, after conversion: the path examined, then opened for
// libcap, which takes no O_PATH descriptor. A link, a directory or a device
// has no capabilities (EOPNOTSUPP).
bool prepare(Call &call, const nf::NativePath &native, nf::Opened &opened) {
    nf::Examined file;
    if (!call.examine(native, file)) return false;
    if (!S_ISREG(file.record().st_mode)) {
        errno = EOPNOTSUPP;
        return call.check(-1, kCapRows);
    }
    return call.reopen(file, native, opened, kCapRows);
}

}  // namespace

NATIVE(jstring, get0, jstring path) {
    Call call(env, __func__);
    nf::NativePath native;
    nf::Opened opened;
    if (!call.convert(path, native, kCapRows) || !prepare(call, native, opened)) return nullptr;
    const Held<cap_t> caps{cap_get_fd(opened.fd())};
    // No set at all: null, as getcap prints nothing for such a file.
    if (caps.value == nullptr && errno == ENODATA) return nullptr;
    if (!call.check(caps.value == nullptr ? -1 : 0, kCapRows)) return nullptr;
    const Held<char *> text{cap_to_text(caps.value, nullptr)};
    if (!call.check(text.value == nullptr ? -1 : 0, kCapRows)) return nullptr;
    return call.javaString(text.value);
}

NATIVE(void, set0, jstring path, jstring text) {
    Call call(env, __func__);
    nf::NativePath native;
    std::vector<char> nativeText;
    nf::Opened opened;
    if (!call.nullTest({path, text}, kNullArgument) || !call.convert(path, native, kCapRows) ||
        !call.convertText(text, nativeText, kNullArgument))
        return;
    // The text is parsed before the file is examined: a wrong one changes nothing.
    const Held<cap_t> caps{cap_from_text(nativeText.data())};
    if (caps.value == nullptr && errno == ENOMEM) return (void)call.check(-1, kCapRows);
    if (caps.value == nullptr) {
        call.fail(NF_IO_ERROR, "The capability text does not parse: an unknown capability or a wrong clause.", EINVAL);
        return;
    }
    if (!prepare(call, native, opened)) return;
    NativeFile_log("Setting capabilities of file: [%s]\n", native.data());
    call.check(cap_set_fd(opened.fd(), caps.value), kCapRows);
}

NATIVE(void, remove0, jstring path) {
    Call call(env, __func__);
    nf::NativePath native;
    nf::Opened opened;
    if (!call.convert(path, native, kCapRows) || !prepare(call, native, opened)) return;
    NativeFile_log("Removing capabilities of file: [%s]\n", native.data());
    call.check(cap_set_fd(opened.fd(), nullptr), kCapRows);
}
