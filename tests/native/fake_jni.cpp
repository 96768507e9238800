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
        return reinterpret_cast<jclass>(f.string(name));
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
        checkNotPending(f);
        if (f.failStringChars) {
            f.pendingException = 1;
            return nullptr;
        }
        ++f.charsHeld;
        return strdup(text(s).c_str());
    };
    table_.ReleaseStringUTFChars = [](JNIEnv *env, jstring, const char *chars) {
        --self(env).charsHeld;
        free(const_cast<char *>(chars));
    };
    table_.GetByteArrayElements = [](JNIEnv *env, jbyteArray a, jboolean *) -> jbyte * {
        FakeJni &f = self(env);
        checkNotPending(f);
        if (f.failStringChars) {
            f.pendingException = 1;
            return nullptr;
        }
        ++f.charsHeld;
        return reinterpret_cast<jbyte *>(strdup(text(a).c_str()));
    };
    table_.ReleaseByteArrayElements = [](JNIEnv *env, jbyteArray, jbyte *elements, jint) {
        --self(env).charsHeld;
        free(elements);
    };
    table_.NewStringUTF = [](JNIEnv *env, const char *utf) -> jstring {
        FakeJni &f = self(env);
        checkNotPending(f);
        if (f.failNewString || f.newStringsLeft == 0) {
            f.pendingException = 1;
            return nullptr;
        }
        if (f.newStringsLeft > 0) --f.newStringsLeft;
        f.made();
        return f.string(utf);
    };
    table_.NewObjectArray = [](JNIEnv *env, jsize length, jclass, jobject initial) -> jobjectArray {
        FakeJni &f = self(env);
        checkNotPending(f);
        if (f.failNewArray) {
            f.pendingException = 1;
            return nullptr;
        }
        f.made();
        f.arrays.emplace_back(static_cast<std::size_t>(length), initial ? text(initial) : "");
        return reinterpret_cast<jobjectArray>(f.arrays.size());
    };
    table_.SetObjectArrayElement = [](JNIEnv *env, jobjectArray array, jsize index, jobject value) {
        FakeJni &f = self(env);
        checkNotPending(f);
        f.arrays.at(reinterpret_cast<std::size_t>(array) - 1).at(static_cast<std::size_t>(index)) =
            text(value);
    };
    table_.DeleteLocalRef = [](JNIEnv *env, jobject) { --self(env).localRefs; };
    env_.functions = &table_;
}

void FakeJni::made() {
    ++localRefs;
    if (localRefs > maxLocalRefs) maxLocalRefs = localRefs;
}

jstring FakeJni::string(const std::string &value) {
    strings_.push_back(value);
    return reinterpret_cast<jstring>(&strings_.back());
}

const std::string &FakeJni::text(jobject string) { return *reinterpret_cast<const std::string *>(string); }
