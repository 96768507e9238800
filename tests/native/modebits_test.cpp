// Mode bits through the exported methods: retries, the fallback of the mode
// change, the change stage's rows, the write-back's log line and link skip,
// and the mode editors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

// The exported methods under their Java names.
namespace native {
constexpr auto getUserPermissions = &Java_com_zel_io_file_UnixNativeFile_getUserPermissions;
constexpr auto getGroupPermissions = &Java_com_zel_io_file_UnixNativeFile_getGroupPermissions;
constexpr auto getWorldPermissions = &Java_com_zel_io_file_UnixNativeFile_getWorldPermissions;
constexpr auto setUserPermissions = &Java_com_zel_io_file_UnixNativeFile_setUserPermissions;
constexpr auto setGroupPermissions = &Java_com_zel_io_file_UnixNativeFile_setGroupPermissions;
constexpr auto setWorldPermissions = &Java_com_zel_io_file_UnixNativeFile_setWorldPermissions;
constexpr auto setPermissions = &Java_com_zel_io_file_UnixNativeFile_setPermissions;
constexpr auto isSetGIDBit = &Java_com_zel_io_file_UnixNativeFile_isSetGIDBit;
constexpr auto isSetUIDBit = &Java_com_zel_io_file_UnixNativeFile_isSetUIDBit;
constexpr auto isSetStickyBit = &Java_com_zel_io_file_UnixNativeFile_isSetStickyBit;
constexpr auto setGIDBit = &Java_com_zel_io_file_UnixNativeFile_setGIDBit;
constexpr auto setUIDBit = &Java_com_zel_io_file_UnixNativeFile_setUIDBit;
constexpr auto setStickyBit = &Java_com_zel_io_file_UnixNativeFile_setStickyBit;
}  // namespace native

namespace {

constexpr char kAccessDenied[] = "com/zel/io/file/exception/AccessDeniedException";
constexpr char kNotFound[] = "com/zel/io/file/exception/FileNotFoundException";
constexpr char kIoError[] = "com/zel/io/file/exception/ExtendedIOException";
constexpr char kChangeDenied[] =
    "MSG: Could not access file for permissions change.  Permission denied. : The current user "
    "does not have sufficient authority to perform the requested operation.";
constexpr char kMissing[] =
    "MSG: File does not exist on system or the file name was too long. : The file referenced by "
    "this object does not appear to reside on disk.";
constexpr char kUnknown[] =
    "MSG: Unknown system error occured. : An unknown File IO error has occurred.  Please consult "
    "up the ERRNO value for your OS.";

std::string errnoPrefix(int err) {
    char text[32];
    std::snprintf(text, sizeof text, "[ERRNO: %03d] ", err);
    return text;
}

mode_t modeOf(const std::string &path) {
    struct stat record {};
    EXPECT_EQ(0, ::lstat(path.c_str(), &record)) << path;
    return record.st_mode & 07777;
}

// One of the seven methods that write a mode back, as the test calls it.
struct Setter {
    const char *name;
    std::function<void(JNIEnv *, jstring)> call;
};

const std::vector<Setter> &setters() {
    static const std::vector<Setter> all{
        {"setUserPermissions",
         [](JNIEnv *e, jstring p) { native::setUserPermissions(e, nullptr, p, 7); }},
        {"setGroupPermissions",
         [](JNIEnv *e, jstring p) { native::setGroupPermissions(e, nullptr, p, 7); }},
        {"setWorldPermissions",
         [](JNIEnv *e, jstring p) { native::setWorldPermissions(e, nullptr, p, 7); }},
        {"setPermissions",
         [](JNIEnv *e, jstring p) { native::setPermissions(e, nullptr, p, 7, 7, 7); }},
        {"setGIDBit", [](JNIEnv *e, jstring p) { native::setGIDBit(e, nullptr, p, JNI_TRUE); }},
        {"setUIDBit", [](JNIEnv *e, jstring p) { native::setUIDBit(e, nullptr, p, JNI_TRUE); }},
        {"setStickyBit",
         [](JNIEnv *e, jstring p) { native::setStickyBit(e, nullptr, p, JNI_TRUE); }},
    };
    return all;
}

class ModeBits : public testing::Test {
protected:
    // A regular file of the given mode in the test's own directory.
    std::string file(mode_t mode, const std::string &name = "file") {
        const std::string path = dir / name;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        EXPECT_GE(fd, 0) << path;
        ::close(fd);
        EXPECT_EQ(0, ::chmod(path.c_str(), mode));
        return path;
    }

    void expectNoException(const FakeJni &jni) {
        EXPECT_TRUE(jni.thrown.empty()) << jni.thrown[0].message;
    }

    void expectThrown(const FakeJni &jni, const char *cls, const std::string &message) {
        ASSERT_EQ(1u, jni.thrown.size());
        EXPECT_EQ(cls, jni.thrown[0].className);
        EXPECT_EQ(message, jni.thrown[0].message);
        EXPECT_EQ(0, jni.jniCallsWhilePending);
    }

    faults::Scope scope;
    TempDir dir;
};

// ---------------------------------------------------------------- retries

TEST_F(ModeBits, QueryRetriesLstatWhileInterrupted) {
    const std::string path = file(0754);
    FakeJni jni;
    faults::fail(faults::LSTAT, EINTR, 1000);
    EXPECT_EQ(5, native::getGroupPermissions(jni.env(), nullptr, jni.string(path)));
    EXPECT_EQ(1001, faults::calls(faults::LSTAT));
    expectNoException(jni);
}

TEST_F(ModeBits, SetterRetriesLstatAndTheModeChangeWhileInterrupted) {
    const std::string path = file(0755);
    FakeJni jni;
    faults::fail(faults::LSTAT, EINTR, 1000);
    faults::fail(faults::FCHMODAT2, EINTR, 1000);
    native::setUserPermissions(jni.env(), nullptr, jni.string(path), 6);
    expectNoException(jni);
    EXPECT_EQ(1001, faults::calls(faults::LSTAT));
    EXPECT_EQ(1001, faults::calls(faults::FCHMODAT2));
    // Where the kernel lacks the call (or valgrind does not know it), the
    // last try falls back once.
    EXPECT_LE(faults::calls(faults::FCHMODAT), 1);
    EXPECT_EQ(0655u, modeOf(path));
}

TEST_F(ModeBits, KernelWithoutTheNoFollowCallFallsBackToTheLibraryCall) {
    const std::string path = file(0755);
    FakeJni jni;
    faults::fail(faults::FCHMODAT2, ENOSYS, 1000);
    faults::fail(faults::FCHMODAT, EINTR, 5);
    native::setUIDBit(jni.env(), nullptr, jni.string(path), JNI_TRUE);
    expectNoException(jni);
    EXPECT_EQ(6, faults::calls(faults::FCHMODAT2));
    EXPECT_EQ(6, faults::calls(faults::FCHMODAT));
    EXPECT_EQ(04755u, modeOf(path));
}

// ---------------------------------------------------------------- rows

struct Row {
    int err;
    const char *cls;
    const char *message;
};

TEST_F(ModeBits, EveryChangeFailureHasItsRowAndLeavesTheModeAlone) {
    const Row rows[] = {
        {EACCES, kAccessDenied, kChangeDenied},
        {ENOENT, kNotFound, kMissing},
        {ENOTDIR, kNotFound, kMissing},
        {ENAMETOOLONG, kNotFound, kMissing},
        {EPERM, kIoError, kUnknown},
        {EROFS, kIoError, kUnknown},
        {EIO, kIoError, kUnknown},
    };
    const std::string path = file(0640);
    for (const Setter &setter : setters()) {
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(setter.name) + " errno " + std::to_string(row.err));
            faults::reset();
            FakeJni jni;
            faults::fail(faults::FCHMODAT2, row.err);
            setter.call(jni.env(), jni.string(path));
            expectThrown(jni, row.cls, errnoPrefix(row.err) + row.message);
            EXPECT_EQ(0640u, modeOf(path));
        }
    }
}

TEST_F(ModeBits, QueryFailureNeverReachesTheModeChange) {
    const Row rows[] = {
        {EACCES, kAccessDenied,
         "MSG: Could not query file for information.  Permission denied. : The current user does "
         "not have sufficient authority to perform the requested operation."},
        {ENAMETOOLONG, kNotFound, kMissing},
        {EOVERFLOW, kIoError, kUnknown},
    };
    const std::string path = file(0640);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.err);
        faults::reset();
        FakeJni jni;
        faults::fail(faults::LSTAT, row.err);
        native::setPermissions(jni.env(), nullptr, jni.string(path), 7, 7, 7);
        expectThrown(jni, row.cls, errnoPrefix(row.err) + row.message);
        EXPECT_EQ(0, faults::calls(faults::FCHMODAT2));
        EXPECT_EQ(0, faults::calls(faults::FCHMODAT));
    }
}

// A refusal that a link would cause is only a skip when the path is a link.
TEST_F(ModeBits, LinkRefusalOnARegularFileIsAnError) {
    const std::string path = file(0640);
    for (int err : {EOPNOTSUPP, ENOTSUP}) {
        faults::reset();
        FakeJni jni;
        faults::fail(faults::FCHMODAT2, err);
        native::setWorldPermissions(jni.env(), nullptr, jni.string(path), 7);
        expectThrown(jni, kIoError, errnoPrefix(EOPNOTSUPP) + kUnknown);
    }
    // The library's own emulation refuses so on a regular file when /proc is missing.
    faults::reset();
    FakeJni jni;
    faults::fail(faults::FCHMODAT2, ENOSYS);
    faults::fail(faults::FCHMODAT, EOPNOTSUPP);
    native::setStickyBit(jni.env(), nullptr, jni.string(path), JNI_TRUE);
    expectThrown(jni, kIoError, errnoPrefix(EOPNOTSUPP) + kUnknown);
    EXPECT_EQ(0640u, modeOf(path));
}

TEST_F(ModeBits, NullPathMakesNoSystemCall) {
    const std::vector<std::function<void(JNIEnv *)>> methods{
        [](JNIEnv *e) { EXPECT_EQ(0, native::getUserPermissions(e, nullptr, nullptr)); },
        [](JNIEnv *e) { EXPECT_EQ(0, native::getGroupPermissions(e, nullptr, nullptr)); },
        [](JNIEnv *e) { EXPECT_EQ(0, native::getWorldPermissions(e, nullptr, nullptr)); },
        [](JNIEnv *e) { EXPECT_EQ(JNI_FALSE, native::isSetGIDBit(e, nullptr, nullptr)); },
        [](JNIEnv *e) { EXPECT_EQ(JNI_FALSE, native::isSetUIDBit(e, nullptr, nullptr)); },
        [](JNIEnv *e) { EXPECT_EQ(JNI_FALSE, native::isSetStickyBit(e, nullptr, nullptr)); },
    };
    std::vector<std::function<void(JNIEnv *)>> all = methods;
    for (const Setter &setter : setters())
        all.push_back([&setter](JNIEnv *e) { setter.call(e, nullptr); });
    ASSERT_EQ(13u, all.size());
    for (const auto &method : all) {
        faults::reset();
        FakeJni jni;
        CapturedLog log;
        method(jni.env());
        const std::string out = log.text();
        expectThrown(jni, kIoError,
                     errnoPrefix(0) +
                         "MSG: filename passed in was NULL. : An unknown File IO error has "
                         "occurred.  Please consult up the ERRNO value for your OS.");
        EXPECT_EQ(0, faults::calls(faults::LSTAT));
        EXPECT_EQ(std::string::npos, out.find("STATing file")) << out;
    }
}

// ---------------------------------------------------------------- write-back

// The number of times text occurs in out.
int occurrences(const std::string &out, const std::string &text) {
    int count = 0;
    for (auto at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++count;
    return count;
}

// Each change writes the whole mode back, once, even when nothing changes,
// and logs it masked to the permission and special bits.
TEST_F(ModeBits, WriteBackLogsTheMaskedModeAndRunsEvenWhenNothingChanged) {
    const std::string path = file(0755);
    FakeJni jni;
    CapturedLog log;
    native::setUserPermissions(jni.env(), nullptr, jni.string(path), 7);
    native::setUIDBit(jni.env(), nullptr, jni.string(path), JNI_TRUE);
    native::setUIDBit(jni.env(), nullptr, jni.string(path), JNI_FALSE);
    native::setGIDBit(jni.env(), nullptr, jni.string(path), JNI_FALSE);
    native::setPermissions(jni.env(), nullptr, jni.string(path), 7, 5, 5);
    const std::string out = log.text();
    expectNoException(jni);
    const std::string line = "]: Setting file mode data for file: [" + path + "] to: [";
    EXPECT_EQ(4, occurrences(out, line + "0x1ed]\n")) << out;
    EXPECT_EQ(1, occurrences(out, line + "0x9ed]\n")) << out;
    EXPECT_EQ(5, occurrences(out, "]: STATing file: [" + path + "]\n"));
    EXPECT_EQ(5, faults::calls(faults::FCHMODAT2));
}

TEST_F(ModeBits, LinksAreSkippedWithoutALogLineOrAChange) {
    const std::string target = file(0600, "target");
    const std::string link = dir / "link";
    const std::string dangling = dir / "dangling";
    ASSERT_EQ(0, ::symlink(target.c_str(), link.c_str()));
    ASSERT_EQ(0, ::symlink("missing", dangling.c_str()));
    for (const std::string &path : {link, dangling}) {
        for (const Setter &setter : setters()) {
            SCOPED_TRACE(setter.name + (" on " + path));
            faults::reset();
            FakeJni jni;
            CapturedLog log;
            setter.call(jni.env(), jni.string(path));
            const std::string out = log.text();
            expectNoException(jni);
            EXPECT_EQ(std::string::npos, out.find("Setting file mode data")) << out;
            EXPECT_EQ(1, occurrences(
                             out, std::string("< exiting: [Java_com_zel_io_file_UnixNativeFile_") +
                                      setter.name + "]\n"));
            EXPECT_EQ(0, faults::calls(faults::FCHMODAT2));
            EXPECT_EQ(0, faults::calls(faults::FCHMODAT));
        }
    }
    EXPECT_EQ(0600u, modeOf(target));
}

// ---------------------------------------------------------------- editors

TEST(ModeEditors, SetOneClassFromTheTripleAndNothingElse) {
    struct {
        void (*edit)(mode_t *, int);
        mode_t before;
        int triple;
        mode_t after;
    } rows[] = {
        {UnixNativeFile_setUserPermissions, S_IFREG | 0755, 6, S_IFREG | 0655},
        {UnixNativeFile_setUserPermissions, S_IFREG | 04000, 7, S_IFREG | 04700},
        {UnixNativeFile_setGroupPermissions, S_IFDIR | 07777, 0, S_IFDIR | 07707},
        {UnixNativeFile_setGroupPermissions, 0, 8, 0},
        {UnixNativeFile_setWorldPermissions, 0750, 15, 0757},
        {UnixNativeFile_setWorldPermissions, 0750, -1, 0757},
        {UnixNativeFile_setWorldPermissions, 0757, 2, 0752},
    };
    for (const auto &row : rows) {
        mode_t mode = row.before;
        row.edit(&mode, row.triple);
        EXPECT_EQ(row.after, mode)
            << std::oct << row.before << " triple " << std::dec << row.triple;
    }
}

TEST(ModeEditors, NullPointerIsLoggedWithoutANewline) {
    CapturedLog log;
    UnixNativeFile_setGroupPermissions(nullptr, 7);
    const std::string out = log.text();
    const std::string message =
        "]: Pointer for mode_t data was NULL, therefore not setting values.Time: [";
    EXPECT_NE(std::string::npos, out.find(message)) << out;
    EXPECT_NE(std::string::npos, out.find("]: < exiting: [UnixNativeFile_setPermissions]\n"))
        << out;
    EXPECT_EQ(1, occurrences(out, "> entering: [")) << out;
}

}  // namespace
