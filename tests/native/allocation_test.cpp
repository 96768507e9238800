// With logging off, no native method allocates on the heap per call. Every
// allocation of the process is counted while one call runs: the library's,
// the C library's own (iconv, the user database) and C++'s, since all of them
// come through malloc, calloc and realloc, defined here over the C library's
// allocator. The fake JVM's work is left out: the JVM allocates its objects
// on its own heap.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <grp.h>
#include <mntent.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

// AddressSanitizer owns the allocator, and counting around it would break
// it: there the tests report skipped.
#if defined(__SANITIZE_ADDRESS__)
#define NF_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NF_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef NF_COUNTS_ALLOCATIONS
#define NF_COUNTS_ALLOCATIONS 1
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

#if NF_COUNTS_ALLOCATIONS
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
}

namespace {

void count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" void *malloc(size_t size) noexcept {
    count();
    return __libc_malloc(size);
}

extern "C" void *calloc(size_t n, size_t size) noexcept {
    count();
    return __libc_calloc(n, size);
}

extern "C" void *realloc(void *block, size_t size) noexcept {
    count();
    return __libc_realloc(block, size);
}
#endif

namespace {

// FakeJni's functions with counting paused while they run.
JNINativeInterface_ fakeTable;

struct Paused {
    bool was = counting.exchange(false);
    ~Paused() { counting = was; }
};

#define UNCOUNTED(name)                                                                          \
    table.name = [](JNIEnv *env, auto... args) {                                                 \
        Paused paused;                                                                           \
        return fakeTable.name(env, args...);                                                     \
    }

class Allocations : public testing::Test {
protected:
    void SetUp() override {
        if (!NF_COUNTS_ALLOCATIONS) GTEST_SKIP() << "AddressSanitizer owns the allocator";
        // Under valgrind its allocator replaces the counting one. Called
        // through pointers, so that the compiler cannot inline the counting
        // definitions and call past a replacement.
        void *(*volatile allocate)(size_t) = std::malloc;
        void *(*volatile allocateZeroed)(size_t, size_t) = std::calloc;
        void *(*volatile reallocate)(void *, size_t) = std::realloc;
        const auto oneOfEach = [&] {
            std::free(allocate(1));
            std::free(allocateZeroed(1, 1));
            std::free(reallocate(nullptr, 1));
        };
        if (perCall(oneOfEach) != 3) GTEST_SKIP() << "allocations cannot be counted here";
        if (NativeFile_log_is_dbg_enabled() || NativeFile_log_is_entryexit_enabled())
            GTEST_SKIP() << "an earlier test in this process switched the log on";
        fakeTable = *jni_.env()->functions;
        table_ = fakeTable;
        JNINativeInterface_ &table = table_;
        UNCOUNTED(GetStringLength);
        UNCOUNTED(GetStringRegion);
        UNCOUNTED(NewString);
        UNCOUNTED(NewStringUTF);
        UNCOUNTED(FindClass);
        UNCOUNTED(ThrowNew);
        UNCOUNTED(NewObjectArray);
        UNCOUNTED(SetObjectArrayElement);
        UNCOUNTED(DeleteLocalRef);
        env_.functions = &table_;

        for (const char *name : {"regular", "changed", "owned"}) std::ofstream(dir_ / name) << "x";
        ASSERT_EQ(0, symlink("regular", (dir_ / "link").c_str()));
        struct stat record {};
        ASSERT_EQ(0, lstat((dir_ / "owned").c_str(), &record));
        uid_ = record.st_uid;
        gid_ = record.st_gid;
    }

    jstring str(const std::string &text) { return jni_.string(text); }
    JNIEnv *env() { return &env_; }

    // Allocations during one call, after a first call that may set up what
    // lasts (this thread's converters, the C library's modules). What the
    // fault layer recorded meanwhile is emptied, its room kept, so that its
    // own bookkeeping allocates nothing in the counted call.
    long perCall(const std::function<void()> &call) {
        call();
        const std::optional<std::string> codeSet = faults::codeSet;
        faults::reset();
        faults::codeSet = codeSet;
        const long before = allocations;
        counting = true;
        call();
        counting = false;
        return allocations - before;
    }

    // Every native method on real files, by name, with the user and group
    // given as digits; the lookups by name are judged apart.
    std::vector<std::pair<std::string, std::function<void()>>> methods() {
        jstring regular = str(dir_ / "regular"), link = str(dir_ / "link"), changed = str(dir_ / "changed"),
                owned = str(dir_ / "owned"), newLink = str(dir_ / "new-link"), target = str("regular"),
                uid = str(std::to_string(uid_)), gid = str(std::to_string(gid_));
        JNIEnv *e = env();
#define CALL(method, ...) Java_com_zel_io_file_UnixNativeFile_##method(e, nullptr __VA_OPT__(, ) __VA_ARGS__)
        return {
            {"getUserPermissions", [=] { CALL(getUserPermissions, regular); }},
            {"getGroupPermissions", [=] { CALL(getGroupPermissions, regular); }},
            {"getWorldPermissions", [=] { CALL(getWorldPermissions, regular); }},
            {"setUserPermissions", [=] { CALL(setUserPermissions, changed, 6); }},
            {"setGroupPermissions", [=] { CALL(setGroupPermissions, changed, 4); }},
            {"setWorldPermissions", [=] { CALL(setWorldPermissions, changed, 0); }},
            {"setPermissions", [=] { CALL(setPermissions, changed, 6, 4, 0); }},
            {"isSetUIDBit", [=] { CALL(isSetUIDBit, regular); }},
            {"isSetGIDBit", [=] { CALL(isSetGIDBit, regular); }},
            {"isSetStickyBit", [=] { CALL(isSetStickyBit, regular); }},
            {"setUIDBit", [=] { CALL(setUIDBit, changed, JNI_FALSE); }},
            {"setGIDBit", [=] { CALL(setGIDBit, changed, JNI_FALSE); }},
            {"setStickyBit", [=] { CALL(setStickyBit, changed, JNI_FALSE); }},
            {"setFileOwner by id", [=] { CALL(setFileOwner, owned, uid); }},
            {"setFileGroup by id", [=] { CALL(setFileGroup, owned, gid); }},
            {"isSymLink", [=] { CALL(isSymLink, link); }},
            {"getSymLinkValue", [=] { CALL(getSymLinkValue, link); }},
            {"createSymLink, symlinkDelete",
             [=] {
                 CALL(createSymLink, newLink, target);
                 CALL(symlinkDelete, newLink);
             }},
            {"getFreeSpace", [=] { CALL(getFreeSpace, regular); }},
            {"getFileSystemSize", [=] { CALL(getFileSystemSize, regular); }},
        };
#undef CALL
    }

    faults::Scope scope_;
    FakeJni jni_;
    JNINativeInterface_ table_{};
    JNIEnv env_{};
    TempDir dir_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

TEST_F(Allocations, NoMethodAllocatesPerCallInAnyLocale) {
    // ISO-8859-1 takes every text through iconv.
    for (const char *codeSet : {"UTF-8", "ANSI_X3.4-1968", "ISO-8859-1"}) {
        faults::codeSet = codeSet;
        for (const auto &[name, call] : methods()) EXPECT_EQ(0, perCall(call)) << name << " in " << codeSet;
    }
    EXPECT_TRUE(jni_.thrown.empty());
}

TEST_F(Allocations, AFailureAllocatesNothing) {
    jstring missing = str(dir_ / "missing");
    EXPECT_EQ(0, perCall([&] { Java_com_zel_io_file_UnixNativeFile_getUserPermissions(env(), nullptr, missing); }));
    EXPECT_EQ(0, perCall([&] { Java_com_zel_io_file_UnixNativeFile_symlinkDelete(env(), nullptr, missing); }));
    EXPECT_EQ(4u, jni_.thrown.size());
}

// The user and group databases allocate inside the C library (the files
// backend opens its file on every lookup); the methods add nothing to that.
TEST_F(Allocations, LookupsAllocateOnlyWhatTheDatabaseDoes) {
    for (const char *codeSet : {"UTF-8", "ISO-8859-1"}) {
        faults::codeSet = codeSet;
        std::array<char, 16768> buffer;
        passwd user{}, *foundUser = nullptr;
        group grp{}, *foundGroup = nullptr;
        const long byUid = perCall([&] { getpwuid_r(uid_, &user, buffer.data(), buffer.size(), &foundUser); });
        const long byGid = perCall([&] { getgrgid_r(gid_, &grp, buffer.data(), buffer.size(), &foundGroup); });
        ASSERT_NE(nullptr, foundUser);
        ASSERT_NE(nullptr, foundGroup);
        const std::string userName = foundUser->pw_name, groupName = foundGroup->gr_name;
        const long byUser = perCall([&] { getpwnam_r(userName.c_str(), &user, buffer.data(), buffer.size(), &foundUser); });
        const long byGroup = perCall([&] { getgrnam_r(groupName.c_str(), &grp, buffer.data(), buffer.size(), &foundGroup); });

        jstring regular = str(dir_ / "regular"), owned = str(dir_ / "owned"), userString = str(userName),
                groupString = str(groupName);
        EXPECT_EQ(byUid, perCall([&] { Java_com_zel_io_file_UnixNativeFile_getFileOwner(env(), nullptr, regular); }));
        EXPECT_EQ(byGid, perCall([&] { Java_com_zel_io_file_UnixNativeFile_getFileGroup(env(), nullptr, regular); }));
        EXPECT_EQ(byUser, perCall([&] { Java_com_zel_io_file_UnixNativeFile_setFileOwner(env(), nullptr, owned, userString); }));
        EXPECT_EQ(byGroup, perCall([&] { Java_com_zel_io_file_UnixNativeFile_setFileGroup(env(), nullptr, owned, groupString); }));
    }
    EXPECT_TRUE(jni_.thrown.empty());
}

// The mount list is the exported routine's result, allocated by its
// contract; turning it into Java strings adds nothing.
TEST_F(Allocations, MountPointsAllocateOnlyTheirList) {
    const long list = perCall([] {
        int error = 0;
        UnixNativeFile_freeMountList(UnixNativeFile_getMountList(&error));
    });
    EXPECT_LT(0, list);
    EXPECT_EQ(list, perCall([&] { Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems(env(), nullptr); }));
}

}  // namespace
