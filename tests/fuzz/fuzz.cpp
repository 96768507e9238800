// The libFuzzer targets, one per build (FUZZ_transcode, FUZZ_throw, FUZZ_log); a finding aborts.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "NativeFile.h"
#include "UnixNativeFile_strutil.h"
#include "fake_jni.h"

void require(bool holds, const char *what) { if (!holds) std::fprintf(stderr, "violated: %s\n", what), std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *bytes = reinterpret_cast<const char *>(data);
    const auto textAt = [&](size_t at) { return std::string(bytes + at, strnlen(bytes + at, size - at)); };
    const std::string text = textAt(0);
#if defined(FUZZ_transcode)
    // Native bytes survive UTF-16 and back, never cut; UTF-16 that encodes is stable through Java.
    std::vector<jchar> units(text.size() + 1), input(size / 2), back(3 * input.size() + 1);
    units.resize(nf::decodeUTF8(text.data(), text.size(), units.data()));
    std::string copy(text.size() + 1, '\x7f'), native(3 * input.size() + 1, '\x7f'), again(native);
    require(nf::encodeUTF8(units.data(), units.size(), copy.data(), copy.size()) == 0 && copy == text + '\0' &&
                (text.empty() || nf::encodeUTF8(units.data(), units.size(), copy.data(), text.size()) == ENAMETOOLONG),
            "bytes to UTF-16 and back are the same bytes, in exactly their length and a NUL");
    for (size_t i = 0; i < input.size(); ++i) input[i] = jchar(data[2 * i] | data[2 * i + 1] << 8);
    const int err = nf::encodeUTF8(input.data(), input.size(), native.data(), native.size());
    back.resize(nf::decodeUTF8(native.data(), std::strlen(native.data()), back.data()));
    const int errAgain = nf::encodeUTF8(back.data(), back.size(), again.data(), again.size());
    require(err == EINVAL ? native[0] == '\0' : err == 0 && errAgain == 0 && again == native, "stable through Java");
#elif defined(FUZZ_throw)
    // A kind byte (its top bit fails the class lookup), four bytes of errno, the detail.
    if (size < 5) return 0;
    const auto raise = [](int kind, const char *detail, int errnum, bool classMissing) {
        FakeJni jni;
        jni.failing = classMissing ? "FindClass" : "", jni.failures = 1;
        NativeFile_ThrowException(&jni.env, kind, detail, errnum);
        require(jni.thrown == 1 && jni.whilePending == 0, "one exception, and no JNI call while one is pending");
        return std::pair(jni.thrownClass, jni.message);
    };
    int errnum;
    std::memcpy(&errnum, data + 1, sizeof errnum);
    const std::string detail = textAt(5);
    const auto [cls, bare] = raise((data[0] & 0x7F) - 16, "", 0, false);  // kinds, and values beside them
    const auto [got, message] = raise((data[0] & 0x7F) - 16, detail.c_str(), errnum, data[0] & 0x80);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[ERRNO: %.3d] MSG: ", errnum);
    require(bare.starts_with("[ERRNO: 000] MSG:  : ") && message == (prefix + detail + bare.substr(18)).substr(0, 1023),
            "the errno, the detail and the kind's text, cut");
    require(got == (data[0] & 0x80 ? "java/lang/Exception" : cls), "the kind's class, else java/lang/Exception");
#elif defined(FUZZ_log)
    // With both logs on, each call prints one line, its message cut only past two paths.
    static const bool ready = [] {  // standard output goes to a memory file, read back after each call
        setenv("__JNI_NATIVEFILE_DEBUG", "", 1), setenv("__JNI_NATIVEFILE_ENTRYEXIT", "", 1), NativeFile_log_init_dbg();
        return dup2(memfd_create("log", 0), STDOUT_FILENO) == STDOUT_FILENO;
    }();
    char thread[32];
    std::snprintf(thread, sizeof thread, "], Thread ID: [0x%08X]: ", unsigned(gettid()));
    for (const std::string &message : {text, "> entering: [" + text + "]\n", "< exiting: [" + text + "]\n"}) {
        if (message == text) NativeFile_log("%s", text.c_str());
        else (message[0] == '>' ? NativeFile_log_entry : NativeFile_log_exit)(text.c_str());
        std::string line(size_t(lseek(STDOUT_FILENO, 0, SEEK_END)), '\0');
        require(ready && pread(STDOUT_FILENO, line.data(), line.size(), 0) == ssize_t(line.size()) &&
                    ftruncate(STDOUT_FILENO, 0) == 0 && lseek(STDOUT_FILENO, 0, SEEK_SET) == 0, "read back");
        const size_t at = line.find(thread), end = std::min(at + std::strlen(thread), line.size());
        const std::string body = line.substr(end);
        require(line.starts_with("Time: [0x") && at > 9 && line.find_first_not_of("0123456789abcdef", 9) == at &&
                    message.starts_with(body) && (body == message || body.size() >= 2 * NF_PATH_LEN),
                "the time, the thread and the message, whole or cut");
    }
#endif
    return 0;
}
