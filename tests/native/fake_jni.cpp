#include "fake_jni.h"

#include <cstring>

namespace {

// The fake whose table a JNIEnv belongs to.
FakeJni &self(JNIEnv *env) {
    return *reinterpret_cast<FakeJni *>(const_cast<void *>(env->functions->reserved0));
}

void checkNotPending(FakeJni &f) {
    if (f.pendingException) ++f.jniCallsWhilePending;
}

// A JVM call that fails as the JVM does: null, with an error pending.
template <class Make>
auto fallible(FakeJni &f, bool fails, Make make) -> decltype(make()) {
    checkNotPending(f);
    if (fails) {
        f.pendingException = 1;
        return nullptr;
    }
    return make();
}

// Modified UTF-8 (and so CESU-8 and plain UTF-8) into UTF-16; the tests give
// it valid input only.
std::u16string fromUTF8(const std::string &text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        unsigned c;
        std::size_t size;
        if (b < 0x80) {
            c = b, size = 1;
        } else if (b < 0xE0) {
            c = b & 0x1Fu, size = 2;
        } else if (b < 0xF0) {
            c = b & 0x0Fu, size = 3;
        } else {
            c = b & 0x07u, size = 4;
        }
        for (std::size_t k = 1; k < size && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
        i += size;
    }
    return units;
}

std::string toModifiedUTF8(const std::u16string &units) {
    std::string text;
    for (char16_t unit : units) {
        const unsigned u = unit;
        if (u != 0 && u < 0x80) {
            text += static_cast<char>(u);
        } else if (u < 0x800) {
            text += static_cast<char>(0xC0 | (u >> 6));
            text += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (u >> 12));
            text += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return text;
}

}  // namespace

FakeJni::FakeJni() {
    table_.reserved0 = this;
    table_.FindClass = [](JNIEnv *env, const char *name) -> jclass {
        FakeJni &f = self(env);
        checkNotPending(f);
        f.foundClasses.emplace_back(name);
        if (f.missingClasses.count(name)) {
            f.pendingException = 1;
            return nullptr;
        }
        f.made();
        return reinterpret_cast<jclass>(f.string(std::string(name)));
    };
    table_.ThrowNew = [](JNIEnv *env, jclass cls, const char *message) -> jint {
        FakeJni &f = self(env);
        checkNotPending(f);
        f.thrown.push_back({text(cls), message});
        f.pendingException = 1;
        return 0;
    };
    table_.ExceptionClear = [](JNIEnv *env) {
        FakeJni &f = self(env);
        ++f.exceptionClears;
        f.pendingException = 0;
    };
    table_.ExceptionCheck = [](JNIEnv *env) -> jboolean { return self(env).pendingException ? JNI_TRUE : JNI_FALSE; };
    table_.GetStringUTFChars = [](JNIEnv *env, jstring s, jboolean *) -> const char * {
        FakeJni &f = self(env);
        return fallible(f, f.failStringChars, [&] {
            ++f.charsHeld;
            return strdup(text(s).c_str());
        });
    };
    table_.ReleaseStringUTFChars = [](JNIEnv *env, jstring, const char *chars) {
        --self(env).charsHeld;
        free(const_cast<char *>(chars));
    };
    table_.GetByteArrayElements = [](JNIEnv *env, jbyteArray a, jboolean *) -> jbyte * {
        FakeJni &f = self(env);
        return fallible(f, f.failStringChars, [&] {
            ++f.charsHeld;
            return reinterpret_cast<jbyte *>(strdup(text(a).c_str()));
        });
    };
    table_.ReleaseByteArrayElements = [](JNIEnv *env, jbyteArray, jbyte *elements, jint) {
        --self(env).charsHeld;
        free(elements);
    };
    table_.NewStringUTF = [](JNIEnv *env, const char *utf) -> jstring {
        FakeJni &f = self(env);
        return fallible(f, f.stringFails(), [&] {
            f.made();
            return f.string(std::string(utf));
        });
    };
    table_.NewString = [](JNIEnv *env, const jchar *chars, jsize length) -> jstring {
        FakeJni &f = self(env);
        return fallible(f, f.stringFails(), [&] {
            f.made();
            return f.string(std::u16string(reinterpret_cast<const char16_t *>(chars),
                                           static_cast<std::size_t>(length)));
        });
    };
    table_.GetStringLength = [](JNIEnv *env, jstring s) -> jsize {
        checkNotPending(self(env));
        return static_cast<jsize>(units(s).size());
    };
    table_.GetStringRegion = [](JNIEnv *env, jstring s, jsize start, jsize length, jchar *buffer) {
        checkNotPending(self(env));
        units(s).copy(reinterpret_cast<char16_t *>(buffer), static_cast<std::size_t>(length),
                      static_cast<std::size_t>(start));
    };
    table_.NewObjectArray = [](JNIEnv *env, jsize length, jclass, jobject initial) -> jobjectArray {
        FakeJni &f = self(env);
        return fallible(f, f.failNewArray, [&] {
            f.made();
            f.arrays.emplace_back(static_cast<std::size_t>(length), initial ? text(initial) : "");
            return reinterpret_cast<jobjectArray>(f.arrays.size());
        });
    };
    table_.SetObjectArrayElement = [](JNIEnv *env, jobjectArray array, jsize index, jobject value) {
        FakeJni &f = self(env);
        checkNotPending(f);
        f.arrays.at(reinterpret_cast<std::size_t>(array) - 1).at(static_cast<std::size_t>(index)) =
            value != nullptr ? text(value) : std::string();
    };
    table_.DeleteLocalRef = [](JNIEnv *env, jobject) { --self(env).localRefs; };
    env_.functions = &table_;
}

bool FakeJni::stringFails() {
    if (failNewString || newStringsLeft == 0) return true;
    if (newStringsLeft > 0) --newStringsLeft;
    return false;
}

void FakeJni::made() {
    ++localRefs;
    if (localRefs > maxLocalRefs) maxLocalRefs = localRefs;
}

jstring FakeJni::string(const std::string &utf8) { return string(fromUTF8(utf8)); }

jstring FakeJni::string(const std::u16string &value) {
    strings_.push_back(value);
    return reinterpret_cast<jstring>(&strings_.back());
}

std::string FakeJni::text(jobject string) { return toModifiedUTF8(units(string)); }

const std::u16string &FakeJni::units(jobject string) {
    return *reinterpret_cast<const std::u16string *>(string);
}
