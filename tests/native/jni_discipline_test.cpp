// The rules of JNI on every path, failure paths included: every native method
// under every fault the wrappers can inject (once, and for good), in a
// converting and a pass-through locale, with JVM calls failing and with
// missing classes. Whatever happens, no JNI call is made while an exception
// is pending, at most one exception is raised, a method that raised returns
// null, every borrowed text is released and few local references are live.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <pwd.h>
#include <grp.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

// What a method works on: a file, a link to it, a free name, and the names
// of the file's owner and group. A null path stands for a null argument.
struct Args {
    jstring file, link, freeName, user, group;
};

struct Method {
    const char *name;
    std::function<jobject(JNIEnv *, const Args &)> run;  // the object result, else null
};

#define M(name) Java_com_zel_io_file_UnixNativeFile_##name
#define VOID_CALL(expr) [](JNIEnv *e, const Args &a) -> jobject { expr; return nullptr; }

const std::vector<Method> &methods() {
    static const std::vector<Method> all = {
        {"getUserPermissions", VOID_CALL(M(getUserPermissions)(e, nullptr, a.file))},
        {"getGroupPermissions", VOID_CALL(M(getGroupPermissions)(e, nullptr, a.file))},
        {"getWorldPermissions", VOID_CALL(M(getWorldPermissions)(e, nullptr, a.file))},
        {"setUserPermissions", VOID_CALL(M(setUserPermissions)(e, nullptr, a.file, 6))},
        {"setGroupPermissions", VOID_CALL(M(setGroupPermissions)(e, nullptr, a.file, 4))},
        {"setWorldPermissions", VOID_CALL(M(setWorldPermissions)(e, nullptr, a.file, 0))},
        {"setPermissions", VOID_CALL(M(setPermissions)(e, nullptr, a.file, 7, 5, 0))},
        {"isSetUIDBit", VOID_CALL(M(isSetUIDBit)(e, nullptr, a.file))},
        {"isSetGIDBit", VOID_CALL(M(isSetGIDBit)(e, nullptr, a.file))},
        {"isSetStickyBit", VOID_CALL(M(isSetStickyBit)(e, nullptr, a.file))},
        {"setUIDBit", VOID_CALL(M(setUIDBit)(e, nullptr, a.file, JNI_FALSE))},
        {"setGIDBit", VOID_CALL(M(setGIDBit)(e, nullptr, a.file, JNI_TRUE))},
        {"setStickyBit", VOID_CALL(M(setStickyBit)(e, nullptr, a.file, JNI_FALSE))},
        {"getFileOwner", [](JNIEnv *e, const Args &a) -> jobject { return M(getFileOwner)(e, nullptr, a.file); }},
        {"getFileGroup", [](JNIEnv *e, const Args &a) -> jobject { return M(getFileGroup)(e, nullptr, a.file); }},
        {"setFileOwner", VOID_CALL(M(setFileOwner)(e, nullptr, a.file, a.user))},
        {"setFileGroup", VOID_CALL(M(setFileGroup)(e, nullptr, a.file, a.group))},
        {"isSymLink", VOID_CALL(M(isSymLink)(e, nullptr, a.link))},
        {"getSymLinkValue", [](JNIEnv *e, const Args &a) -> jobject { return M(getSymLinkValue)(e, nullptr, a.link); }},
        {"createSymLink", VOID_CALL(M(createSymLink)(e, nullptr, a.freeName, a.file))},
        {"symlinkDelete", VOID_CALL(M(symlinkDelete)(e, nullptr, a.link))},
        {"getMountedFileSystems", [](JNIEnv *e, const Args &) -> jobject { return M(getMountedFileSystems)(e, nullptr); }},
        {"getFreeSpace", VOID_CALL(M(getFreeSpace)(e, nullptr, a.file))},
        {"getFileSystemSize", VOID_CALL(M(getFileSystemSize)(e, nullptr, a.file))},
    };
    return all;
}

#undef VOID_CALL
#undef M

struct Scenario {
    std::string name;
    std::function<void(FakeJni &)> arm;
    bool nullArguments = false;
};

std::vector<Scenario> scenarios() {
    std::vector<Scenario> all;
    all.push_back({"no fault", [](FakeJni &) {}});
    all.push_back({"null arguments", [](FakeJni &) {}, true});
    all.push_back({"no Java string", [](FakeJni &jni) { jni.failNewString = true; }});
    for (int made : {1, 2, 5})
        all.push_back({"no Java string after " + std::to_string(made),
                       [=](FakeJni &jni) { jni.newStringsLeft = made; }});
    all.push_back({"no Java array", [](FakeJni &jni) { jni.failNewArray = true; }});
    all.push_back({"no exception class", [](FakeJni &jni) {
                       for (const char *kind : {"ExtendedIOException", "AccessDeniedException",
                                                "FileNotFoundException", "InvalidUserException",
                                                "InvalidGroupException", "NotSupportedException"})
                           jni.missingClasses.insert(std::string("com/zel/io/file/exception/") + kind);
                   }});
    for (const char *codeSet : {"UTF-8", "ISO-8859-1"}) {
        for (int call = 0; call < faults::CALL_COUNT; ++call) {
            for (int times : {1, 1000}) {
                all.push_back({std::string(codeSet) + ", call " + std::to_string(call) + " fails " +
                                   std::to_string(times) + "x",
                               [=](FakeJni &) {
                                   faults::codeSet = codeSet;
                                   faults::fail(static_cast<faults::Call>(call), EIO, times);
                               }});
            }
        }
    }
    return all;
}

std::string nameOr(const char *name, unsigned id) { return name != nullptr ? name : std::to_string(id); }

TEST(JniDiscipline, EveryMethodUnderEveryFaultKeepsTheRulesOfJni) {
    const passwd *user = getpwuid(getuid());
    const group *grp = getgrgid(getgid());
    const std::string userName = nameOr(user ? user->pw_name : nullptr, getuid());
    const std::string groupName = nameOr(grp ? grp->gr_name : nullptr, getgid());
    for (const Scenario &scenario : scenarios()) {
        for (const Method &method : methods()) {
            SCOPED_TRACE(std::string(method.name) + ", " + scenario.name);
            TempDir dir;
            std::ofstream(dir / "file").put('x');
            ASSERT_EQ(0, symlink("file", (dir / "link").c_str()));
            FakeJni jni;
            const Args args =
                scenario.nullArguments
                    ? Args{nullptr, nullptr, nullptr, nullptr, nullptr}
                    : Args{jni.string(dir / "file"), jni.string(dir / "link"), jni.string(dir / "new"),
                           jni.string(userName), jni.string(groupName)};
            const int refsBefore = jni.localRefs;
            faults::Scope scope;
            scenario.arm(jni);

            const jobject result = method.run(jni.env(), args);

            EXPECT_EQ(0, jni.jniCallsWhilePending);
            EXPECT_LE(jni.thrown.size(), 1u);
            if (jni.pendingException) {
                EXPECT_EQ(nullptr, result);
            }
            EXPECT_EQ(0, jni.charsHeld);
            // JNI guarantees a native method 16 local references.
            EXPECT_LE(jni.maxLocalRefs - refsBefore, 16);
        }
    }
}

}  // namespace
