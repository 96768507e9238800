// Raising the library's Java exceptions, and filling native buffers from Java.
#include "NativeFile_helper.h"

#include "NativeFile.h"
#include "UnixNativeFile_strutil.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <new>
#include <utility>

namespace {

struct KindRow {
    const char *className;
    const char *standardText;
};

constexpr std::array<KindRow, 8> kKinds{{
    {"com/zel/io/file/exception/ExtendedIOException",
     "An unknown or unexpected file I/O error has occurred.  Please consult the ERRNO value for "
     "your operating-system."},
    {"com/zel/io/file/exception/AccessDeniedException",
     "The current user does not have sufficient authority to perform the requested operation."},
    {"com/zel/io/file/exception/FileNotFoundException",
     "The file referenced by this object does not appear to reside on disk."},
    {"com/zel/io/file/exception/ExtendedIOException",
     "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS."},
    {"com/zel/io/file/exception/InvalidUserException",
     "A file was attempted to be assigned to an invalid user."},
    {"com/zel/io/file/exception/InvalidGroupException",
     "A file was attempted to be assigned to an invalid group."},
    {"com/zel/io/file/exception/NotSupportedException",
     "The filesystem operation attempted is not supported by the underlying operating-system "
     "file-system."},
    {"java/lang/OutOfMemoryError",
     "The operating system refused to allocate any more memory to the current process.  Please "
     "free up or add memory to the system."},
}};

const KindRow &kindRow(int kind) {
    return kind >= NF_ACCESS_DENIED && kind <= NF_OUT_OF_MEMORY ? kKinds[static_cast<std::size_t>(kind)] : kKinds[0];
}

// Room left in the message buffer for characters, its NUL excluded.
int roomLeft(const char *message) {
    return NF_MESSAGE_LEN - static_cast<int>(std::strlen(message) + 1);
}

// Logs the room left after a step of composing the message.
int logRoom(const char *message, const char *step) {
    const int room = roomLeft(message);
    NativeFile_log("Appended %s.  Total buffer space in exception message [%d].  Space remaining for "
                   "storage: [%d]\n",
                   step, NF_MESSAGE_LEN, room);
    return room;
}

// Appends as much of text as fits and logs what room is left.
int appendBounded(char *message, const char *text, const char *step) {
    const std::size_t used = std::strlen(message);
    const std::size_t count = strnlen(text, NF_MESSAGE_LEN - 1 - used);
    std::memcpy(message + used, text, count);
    message[used + count] = '\0';
    return logRoom(message, step);
}

// Both JVM calls that hand out a text's bytes share one shape: get, copy or
// convert, release.
template <class Get, class Release>
void fillFromJava(char *dest, int len, bool logFallback, Get get, Release release) {
    const char *bytes = get();
    if (bytes == nullptr) {
        dest[0] = '\0';
        return;
    }
    if (NativeFile_stringConverterFromUTF8(dest, bytes, len) == nullptr) {
        if (logFallback) NativeFile_log("String conversion failed.  Just copying the UTF-8 Buffer.\n");
        nf::copyText(dest, bytes, static_cast<std::size_t>(len));
    }
    release(bytes);
}

// Whether a Java string holds a unit that can name no file: U+0000, or a
// lone surrogate outside U+DC80..U+DCFF, judged over the whole string.
bool namesNoFile(JNIEnv *env, jstring string) {
    bool afterHigh = false;
    const bool clean = nf::everyUnit(env, string, [&](unsigned u) {
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (afterHigh) {
            afterHigh = false;
            return low;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            afterHigh = true;
            return true;
        }
        return u != 0 && !(low && (u < 0xDC80 || u > 0xDCFF));
    });
    return !clean || afterHigh;
}

int convertPath(JNIEnv *env, jstring string, char *dest, std::size_t len) {
    // Every unit needs at least one byte, so a longer string cannot fit.
    std::array<jchar, NF_PATH_LEN> units;
    const jsize count = env->GetStringLength(string);
    if (static_cast<std::size_t>(count) >= std::min(len, units.size())) return ENAMETOOLONG;
    env->GetStringRegion(string, 0, count, units.data());

    const char *codePage = nf::localeCodePage();
    if (nf::isPassThrough(codePage)) return nf::encodeUTF8(units.data(), static_cast<std::size_t>(count), dest, len);

    // Up to three bytes a unit: room for the UTF-8 form of any string that
    // may still fit once converted.
    std::array<char, 3 * NF_PATH_LEN> utf8;
    if (const int err = nf::encodeUTF8(units.data(), static_cast<std::size_t>(count), utf8.data(), utf8.size()))
        return err;
    const int err = nf::convertCodePage(dest, len, utf8.data(), "UTF-8", codePage);
    if (err == 0) return 0;
    if (err == E2BIG) return ENAMETOOLONG;
    // A character the code page lacks: the name goes as its UTF-8 bytes.
    if (std::strlen(utf8.data()) >= len) return ENAMETOOLONG;
    nf::copyText(dest, utf8.data(), len);
    return 0;
}

// The units of a text of length bytes and its NUL into out (room for
// 4 * length units), through scratch (room for 4 * length + 1 bytes) when
// the locale's code page is not taken as it stands. A text the code page
// cannot convert is decoded as it stands, so that no byte is lost.
std::size_t decode(const char *text, std::size_t length, bool passThrough, jchar *out, char *scratch) {
    if (!passThrough &&
        nf::convertCodePage(scratch, 4 * length + 1, text, nf::localeCodePage(), "UTF-8") == 0) {
        text = scratch;
        length = std::strlen(scratch);
    }
    return nf::decodeUTF8(text, length, out);
}

}  // namespace

namespace nf {

int javaToNativePath(JNIEnv *env, jstring string, char *dest, std::size_t len) {
    int err = convertPath(env, string, dest, len);
    // Too long, unless it could name no file at any length.
    if (err == ENAMETOOLONG && namesNoFile(env, string)) err = EINVAL;
    if (err != 0) dest[0] = '\0';
    return err;
}

int javaToNativeText(JNIEnv *env, jstring string, std::vector<char> &out) {
    const auto count = static_cast<std::size_t>(env->GetStringLength(string));
    std::vector<jchar> units(count);
    env->GetStringRegion(string, 0, static_cast<jsize>(count), units.data());
    std::vector<char> utf8(3 * count + 1);
    if (const int err = encodeUTF8(units.data(), count, utf8.data(), utf8.size())) return err;
    const char *codePage = localeCodePage();
    out.resize(4 * count + 1);
    // A character the code page lacks goes as its UTF-8 bytes, as in paths.
    if (isPassThrough(codePage) || convertCodePage(out.data(), out.size(), utf8.data(), "UTF-8", codePage) != 0)
        out = std::move(utf8);
    return 0;
}

void appendUnits(const char *text, std::size_t length, std::vector<jchar> &units) {
    const std::size_t at = units.size();
    const bool passThrough = isPassThrough(localeCodePage());
    // Converted, a byte takes at most 4 bytes of UTF-8, each at most one unit.
    std::array<char, 4 * NF_PATH_LEN + 1> scratch;
    std::vector<char> longScratch(!passThrough && length >= NF_PATH_LEN ? 4 * length + 1 : 0);
    units.resize(at + (passThrough ? length : 4 * length));
    units.resize(at + decode(text, length, passThrough, units.data() + at,
                             longScratch.empty() ? scratch.data() : longScratch.data()));
}

jstring nativeToJava(JNIEnv *env, const char *text) {
    const std::size_t length = std::strlen(text);
    if (length >= NF_PATH_LEN) {
        std::vector<jchar> units;
        try {
            appendUnits(text, length, units);
        } catch (const std::bad_alloc &) {
            NativeFile_ThrowException(env, NF_OUT_OF_MEMORY, "No memory for the text.", ENOMEM);
            return nullptr;
        }
        return env->NewString(units.data(), static_cast<jsize>(units.size()));
    }
    std::array<jchar, 4 * NF_PATH_LEN> units;
    std::array<char, 4 * NF_PATH_LEN + 1> scratch;
    const std::size_t count = decode(text, length, isPassThrough(localeCodePage()), units.data(), scratch.data());
    return env->NewString(units.data(), static_cast<jsize>(count));
}

}  // namespace nf

extern "C" {

void NativeFile_ThrowException(JNIEnv *env, int kind, const char *detail, int errnum) {
    static constexpr char kName[] = "NativeFile_ThrowException";
    NativeFile_log_entry(kName);

    std::array<char, NF_MESSAGE_LEN> detailText{};
    std::array<char, NF_MESSAGE_LEN> className{};
    std::array<char, NF_MESSAGE_LEN> message{};
    if (detail != nullptr) nf::copyText(detailText.data(), detail, detailText.size());
    const KindRow &row = kindRow(kind);
    nf::copyText(className.data(), row.className, className.size());

    std::snprintf(message.data(), message.size(), "[ERRNO: %.3d] MSG: ", errnum);
    message.back() = '\0';
    int room = logRoom(message.data(), "errno value");
    if (room != 0) room = appendBounded(message.data(), detailText.data(), "NativeFile message");
    if (room != 0) room = appendBounded(message.data(), " : ", "':'");
    if (room != 0) appendBounded(message.data(), row.standardText, "standard exception type message");
    message.back() = '\0';
    NativeFile_log("Final exception message to be thrown: [%s]\n", message.data());

    jclass cls = env->FindClass(className.data());
    if (cls == nullptr) {
        // The failed lookup left its own error pending; the fallback must
        // replace it, not sit behind it.
        env->ExceptionClear();
        nf::copyText(className.data(), "java/lang/Exception", className.size());
        cls = env->FindClass(className.data());
        if (cls == nullptr) return;
    }
    env->ThrowNew(cls, message.data());
    NativeFile_log_exit(kName);
}

int NativeFile_isFlagSet(int value, int mask) { return (value & mask) == mask ? 1 : 0; }

char *NativeFile_GetNativeStringFromJString(JNIEnv *env, char *dest, jstring string, int len) {
    static constexpr char kName[] = "NativeFile_GetNativeStringFromJString";
    NativeFile_log_entry(kName);
    fillFromJava(
        dest, len, true, [&] { return env->GetStringUTFChars(string, nullptr); },
        [&](const char *bytes) { env->ReleaseStringUTFChars(string, bytes); });
    NativeFile_log_exit(kName);
    return dest;
}

char *NativeFile_GetNativeStringFromArray(JNIEnv *env, char *dest, jbyteArray array, int len) {
    static constexpr char kName[] = "NativeFile_GetNativeStringFromArray";
    NativeFile_log_entry(kName);
    jbyte *elements = nullptr;
    fillFromJava(
        dest, len, false,
        [&] {
            elements = env->GetByteArrayElements(array, nullptr);
            return reinterpret_cast<const char *>(elements);
        },
        [&](const char *) { env->ReleaseByteArrayElements(array, elements, 0); });
    NativeFile_log_exit(kName);
    return dest;
}

}  // extern "C"
