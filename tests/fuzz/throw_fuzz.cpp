// The message composer. Input: one byte of kind (its top bit makes the
// kind's class missing), four bytes of errno, the detail text up to a NUL.
// The message is "[ERRNO: %.3d] MSG: " + detail + " : " + the kind's standard
// text, cut to 1023 characters; exactly one exception, of the kind's class or
// java/lang/Exception when that is missing, and no JNI call while it pends.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "NativeFile.h"
#include "fake_jni.h"
#include "fuzz_support.h"

namespace {

struct Raised {
    std::string className;
    std::string message;
};

Raised raise(int kind, const char *detail, int errnum, const std::string &missing = {}) {
    FakeJni jni;
    if (!missing.empty()) jni.missingClasses = {missing};
    NativeFile_ThrowException(jni.env(), kind, detail, errnum);
    require(jni.thrown.size() == 1, "exactly one exception is raised");
    require(jni.jniCallsWhilePending == 0, "no JNI call is made while an exception is pending");
    require(jni.exceptionClears == (missing.empty() ? 0 : 1), "a failed class lookup is cleared");
    return {jni.thrown[0].className, jni.thrown[0].message};
}

// The class and standard text of each kind, as the composer gives them for
// an empty detail (their exact values are unit-tested).
const Raised &standard(int kind) {
    static std::map<int, Raised> kinds;
    auto found = kinds.find(kind);
    if (found == kinds.end()) {
        Raised plain = raise(kind, "", 0);
        const std::string lead = "[ERRNO: 000] MSG:  : ";
        require(plain.message.compare(0, lead.size(), lead) == 0, "the empty detail leaves the frame");
        plain.message.erase(0, lead.size());
        found = kinds.emplace(kind, plain).first;
    }
    return found->second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 5) return 0;
    const bool missingClass = (data[0] & 0x80) != 0;
    const int kind = (data[0] & 0x7F) - 16;  // the kinds, and values on both sides
    std::int32_t errnum;
    std::memcpy(&errnum, data + 1, sizeof errnum);
    const char *text = reinterpret_cast<const char *>(data + 5);
    const std::string detail(text, strnlen(text, size - 5));

    const Raised &kindOf = standard(kind);
    const Raised got = raise(kind, detail.c_str(), errnum, missingClass ? kindOf.className : std::string());

    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[ERRNO: %.3d] MSG: ", errnum);
    const std::string full = prefix + detail + " : " + kindOf.message;
    require(got.message.size() <= 1023, "the message is at most 1023 characters");
    require(got.message.compare(0, std::strlen(prefix), prefix) == 0, "the message starts with the errno prefix");
    require(got.message == full.substr(0, 1023), "the message is prefix, detail, separator and text, cut");
    require(got.className == (missingClass ? "java/lang/Exception" : kindOf.className),
            "the kind's class, or java/lang/Exception when it is missing");
    return 0;
}
