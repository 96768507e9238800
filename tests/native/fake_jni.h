// A JNIEnv of our own for unit tests of the bridge: Java strings are plain
// C++ strings, and every call that matters is recorded.
#ifndef FAKE_JNI_H
#define FAKE_JNI_H

#include <jni.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

class FakeJni {
public:
    FakeJni();
    JNIEnv *env() { return &env_; }

    // A Java string, owned by this fake, from UTF-8 (surrogates encoded one
    // by one, as modified UTF-8 does) or from UTF-16 units.
    jstring string(const std::string &utf8);
    jstring string(const std::u16string &units);
    // A string this fake made, as modified UTF-8 and as UTF-16 units.
    static std::string text(jobject string);
    static const std::u16string &units(jobject string);

    struct Thrown {
        std::string className;
        std::string message;
    };

    std::set<std::string> missingClasses;  // FindClass fails for these
    bool failStringChars = false;          // GetStringUTFChars yields null
    bool failNewString = false;            // NewStringUTF yields null
    int stringsBeforeFailure = -1;         // strings made before one fails (-1: none fails)
    bool failNewArray = false;             // NewObjectArray yields null

    std::vector<Thrown> thrown;
    std::vector<std::string> foundClasses;  // every FindClass argument, in order
    int exceptionClears = 0;
    int pendingException = 0;  // set by a failed FindClass or a throw
    int charsHeld = 0;         // UTF chars handed out and not released
    int localRefs = 0;         // references made and not deleted
    int maxLocalRefs = 0;
    std::vector<std::vector<std::string>> arrays;  // contents of each object array
    int jniCallsWhilePending = 0;  // calls JNI forbids with an exception pending

private:
    void made();
    JNINativeInterface_ table_{};
    JNIEnv env_{};
    std::deque<std::u16string> strings_;
};

#endif
