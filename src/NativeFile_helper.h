// Internal helpers of the bridge, shared by the modules of the library.
#ifndef NATIVEFILE_HELPER_H
#define NATIVEFILE_HELPER_H

#include <jni.h>

#include <cstddef>
#include <cstring>

namespace nf {

// Bounded copy into a buffer of len bytes: at most len - 1 bytes of the
// text, the rest of the buffer zero-filled, so it is always NUL-terminated.
inline void copyText(char *dest, const char *source, std::size_t len) {
    const std::size_t count = strnlen(source, len - 1);
    std::memcpy(dest, source, count);
    std::memset(dest + count, 0, len - count);
}

// The one way native methods turn a Java string into native bytes: standard
// UTF-8 (U+DC80..U+DCFF standing for raw bytes), converted to the locale's
// code page where that is not UTF-8 or ASCII. Nothing is ever cut: returns
// 0, ENAMETOOLONG when the native form needs more than len - 1 bytes, or
// EINVAL for a string that can name no file (U+0000, another lone
// surrogate). dest then holds the empty text.
int javaToNativePath(JNIEnv *env, jstring string, char *dest, std::size_t len);

// The one way native texts (at most len - 1 bytes are read) become Java
// strings: from the locale's code page to UTF-16, bytes that are no valid
// UTF-8 kept as U+DC80..U+DCFF. Null with the JVM's error pending when it
// cannot make the string.
jstring nativeToJava(JNIEnv *env, const char *text, std::size_t len);

}  // namespace nf

#endif
