// Internal helpers of the bridge, shared by the modules of the library.
#ifndef NATIVEFILE_HELPER_H
#define NATIVEFILE_HELPER_H

#include "NativeFile.h"

#include <jni.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

namespace nf {

// Bounded copy into a buffer of len bytes: at most len - 1 bytes of the
// text, the rest of the buffer zero-filled, so it is always NUL-terminated.
inline void copyText(char *dest, const char *source, std::size_t len) {
    const std::size_t count = strnlen(source, len - 1);
    std::memcpy(dest, source, count);
    std::memset(dest + count, 0, len - count);
}

// Calls visit(unit) on each unit of a Java string, read in stack-sized
// pieces so that a string of any length costs no allocation, until visit
// returns false. True when every unit was visited.
template <class Visit>
bool everyUnit(JNIEnv *env, jstring string, Visit visit) {
    std::array<jchar, 256> units;
    const jsize length = env->GetStringLength(string);
    for (jsize at = 0; at < length; at += static_cast<jsize>(units.size())) {
        const jsize count = std::min(length - at, static_cast<jsize>(units.size()));
        env->GetStringRegion(string, at, count, units.data());
        for (jsize i = 0; i < count; ++i)
            if (!visit(static_cast<unsigned>(units[static_cast<std::size_t>(i)]))) return false;
    }
    return true;
}

// The one way native methods turn a Java string into native bytes: standard
// UTF-8 (U+DC80..U+DCFF standing for raw bytes), converted to the locale's
// code page where that is not UTF-8 or ASCII. Nothing is ever cut: returns
// 0, EINVAL for a string that can name no file (U+0000, another lone
// surrogate) whatever its length, or ENAMETOOLONG when the native form
// needs more than len - 1 bytes. dest then holds the empty text.
int javaToNativePath(JNIEnv *env, jstring string, char *dest, std::size_t len);

// A Java string as native bytes by javaToNativePath's rules, for texts that
// name no file and may be of any length (an ACL's text): 0, or EINVAL for a
// string that no text can hold (U+0000, another lone surrogate).
int javaToNativeText(JNIEnv *env, jstring string, std::vector<char> &out);

// The one way native texts become UTF-16, at any length: from the locale's
// code page, bytes that are no valid UTF-8 kept as U+DC80..U+DCFF. Appends
// the units of a text of length bytes, followed by its NUL, to units. May
// throw std::bad_alloc.
void appendUnits(const char *text, std::size_t length, std::vector<jchar> &units);

// A Java string of a native text of any length, by appendUnits's rules;
// texts up to a path's length take no allocation. Null with the JVM's error
// pending when it cannot make the string (OutOfMemoryError when no memory
// holds a long text's units).
jstring nativeToJava(JNIEnv *env, const char *text);

}  // namespace nf

#endif
