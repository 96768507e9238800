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

// Fills dest from a Java string. False when the JVM could not hand out the
// string's bytes: its OutOfMemoryError is then pending and dest is empty.
bool javaToNative(JNIEnv *env, char *dest, jstring string, int len);

}  // namespace nf

#endif
