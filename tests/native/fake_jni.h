// A JNIEnv of our own over ASCII strings, checking the rules of JNI as a checked JVM does. The
// function named by `failing` fails in its first `failures` calls as the JVM's do: null, pending.
#ifndef FAKE_JNI_H
#define FAKE_JNI_H

#include <jni.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

// Nonzero while the JVM or the C library works for the library: what they allocate is not its.
inline int notTheLibrary = 0;
struct NotTheLibrary { NotTheLibrary() { ++notTheLibrary; } ~NotTheLibrary() { --notTheLibrary; } };

struct FakeJni {
    using Array = std::vector<std::string>;
    JNINativeInterface_ table{};
    JNIEnv env{&table};
    std::deque<std::string> strings;
    std::deque<Array> arrays;
    std::map<std::string, int> calls;
    std::string failing, thrownClass, message;
    int failures = 0, thrown = 0, whilePending = 0, refs = 0, maxRefs = 0;
    bool pending = false;

    jstring string(std::string text) { return reinterpret_cast<jstring>(&strings.emplace_back(std::move(text))); }
    static std::string &text(void *s) { return *static_cast<std::string *>(s); }
    template <class Ref>  // a new local reference, or null when the call fails
    Ref made(bool fails, void *object) { return fails ? nullptr : (maxRefs = std::max(maxRefs, ++refs), Ref(object)); }

    FakeJni() {
        table.reserved0 = this;
#define FAKE(name, allowedWhilePending, ret, params, ...)                                                    \
    table.name = [] params -> ret {                                                                          \
        NotTheLibrary jvm;                                                                                   \
        FakeJni &f = *static_cast<FakeJni *>(e->functions->reserved0);                                       \
        f.whilePending += f.pending && !allowedWhilePending;                                                 \
        const bool fails = ++f.calls[#name] <= f.failures && f.failing == #name;                             \
        f.pending |= fails;                                                                                  \
        __VA_ARGS__;                                                                                         \
    }
        FAKE(FindClass, false, jclass, (JNIEnv * e, const char *n), return f.made<jclass>(fails, f.string(n)));
        FAKE(ThrowNew, false, jint, (JNIEnv * e, jclass c, const char *m),
             return f.thrownClass = text(c), f.message = m, ++f.thrown, f.pending = true, 0);
        FAKE(ExceptionClear, true, void, (JNIEnv * e), f.pending = false);
        FAKE(DeleteLocalRef, true, void, (JNIEnv * e, jobject), --f.refs);
        FAKE(NewGlobalRef, false, jobject, (JNIEnv * e, jobject o),  // outlives this JNIEnv, as a global one does
             static std::deque<std::string> globals; return fails ? nullptr : jobject(&globals.emplace_back(text(o))));
        FAKE(DeleteGlobalRef, true, void, (JNIEnv * e, jobject));
        FAKE(GetStringLength, false, jsize, (JNIEnv * e, jstring s), return jsize(text(s).size()));
        FAKE(GetStringRegion, false, void, (JNIEnv * e, jstring s, jsize at, jsize n, jchar *to),
             std::copy_n(text(s).begin() + at, n, to));
        FAKE(NewString, false, jstring, (JNIEnv * e, const jchar *u, jsize n),
             return f.made<jstring>(fails, f.string(std::string(u, u + n))));
        FAKE(NewStringUTF, false, jstring, (JNIEnv * e, const char *s), return f.made<jstring>(fails, f.string(s)));
        FAKE(NewObjectArray, false, jobjectArray, (JNIEnv * e, jsize n, jclass, jobject first),
             return f.made<jobjectArray>(fails, &f.arrays.emplace_back(n, first ? text(first) : "")));
        FAKE(SetObjectArrayElement, false, void, (JNIEnv * e, jobjectArray a, jsize i, jobject s),
             static_cast<Array *>(static_cast<void *>(a))->at(i) = text(s));
        FAKE(NewByteArray, false, jbyteArray, (JNIEnv * e, jsize n),  // a byte array is a string of its bytes
             return f.made<jbyteArray>(fails, f.string(std::string(n, '\0'))));
        FAKE(NewIntArray, false, jintArray, (JNIEnv * e, jsize n),  // an int array too, of its ints' bytes
             return f.made<jintArray>(fails, f.string(std::string(n * sizeof(jint), '\0'))));
        FAKE(SetIntArrayRegion, false, void, (JNIEnv * e, jintArray a, jsize at, jsize n, const jint *from),
             std::memcpy(text(a).data() + at * sizeof(jint), from, n * sizeof(jint)));
        FAKE(GetArrayLength, false, jsize, (JNIEnv * e, jarray a), return jsize(text(a).size()));
        FAKE(SetByteArrayRegion, false, void, (JNIEnv * e, jbyteArray a, jsize at, jsize n, const jbyte *from),
             std::copy_n(from, n, text(a).begin() + at));
        FAKE(GetByteArrayRegion, false, void, (JNIEnv * e, jbyteArray a, jsize at, jsize n, jbyte *to),
             std::copy_n(text(a).begin() + at, n, to));
        FAKE(NewLongArray, false, jlongArray, (JNIEnv * e, jsize n),  // a long array is a string of its values
             return f.made<jlongArray>(fails, f.string(std::string(n * sizeof(jlong), '\0'))));
        FAKE(SetLongArrayRegion, false, void, (JNIEnv * e, jlongArray a, jsize at, jsize n, const jlong *from),
             std::copy_n(reinterpret_cast<const char *>(from), n * sizeof(jlong), text(a).begin() + at * sizeof(jlong)));
#undef FAKE
    }
};

#endif
