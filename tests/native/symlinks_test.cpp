// Symbolic links: test, read, create and delete, with injected faults.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

constexpr char kDenied[] = "com/zel/io/file/exception/AccessDeniedException";
constexpr char kNotFound[] = "com/zel/io/file/exception/FileNotFoundException";
constexpr char kIo[] = "com/zel/io/file/exception/ExtendedIOException";

std::string standardText(const std::string &cls) {
    if (cls == kDenied)
        return "The current user does not have sufficient authority to perform the requested operation.";
    if (cls == kNotFound) return "The file referenced by this object does not appear to reside on disk.";
    return "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
}

std::string message(int err, const std::string &detail, const std::string &cls) {
    std::array<char, 16> prefix{};
    std::snprintf(prefix.data(), prefix.size(), "[ERRNO: %03d]", err);
    return std::string(prefix.data()) + " MSG: " + detail + " : " + standardText(cls);
}

// What a failing errno must become: its class and detail text.
struct Expected {
    std::vector<int> errnos;
    const char *cls;
    const char *detail;
};

class Links : public testing::Test {
protected:
    jstring str(const std::string &text) { return jni_.string(text); }

    bool isSymLink(const std::string &path) {
        return Java_com_zel_io_file_UnixNativeFile_isSymLink(jni_.env(), nullptr, str(path)) == JNI_TRUE;
    }
    jstring getSymLinkValue(const std::string &path) {
        return Java_com_zel_io_file_UnixNativeFile_getSymLinkValue(jni_.env(), nullptr, str(path));
    }
    std::string linkValue(const std::string &path) {
        jstring value = getSymLinkValue(path);
        EXPECT_NE(nullptr, value);
        return value == nullptr ? "" : FakeJni::text(value);
    }
    void createSymLink(const std::string &link, const std::string &real) {
        Java_com_zel_io_file_UnixNativeFile_createSymLink(jni_.env(), nullptr, str(link), str(real));
    }
    void symlinkDelete(const std::string &path) {
        Java_com_zel_io_file_UnixNativeFile_symlinkDelete(jni_.env(), nullptr, str(path));
    }

    // The one exception raised since the last look, with no JNI call after it.
    FakeJni::Thrown takeThrown() {
        EXPECT_EQ(1u, jni_.thrown.size());
        EXPECT_EQ(0, jni_.jniCallsWhilePending);
        FakeJni::Thrown thrown = jni_.thrown.empty() ? FakeJni::Thrown{} : jni_.thrown.back();
        jni_.thrown.clear();
        jni_.pendingException = 0;
        return thrown;
    }

    // Injects each errno of each row into call once and checks what run raises.
    template <class Run>
    void expectRows(faults::Call call, const std::vector<Expected> &rows, Run run) {
        for (const Expected &row : rows) {
            for (int err : row.errnos) {
                faults::fail(call, err);
                run();
                if (row.cls == nullptr) {
                    EXPECT_TRUE(jni_.thrown.empty()) << err;
                    jni_.thrown.clear();
                    continue;
                }
                const FakeJni::Thrown thrown = takeThrown();
                EXPECT_EQ(row.cls, thrown.className) << err;
                EXPECT_EQ(message(err, row.detail, row.cls), thrown.message) << err;
            }
        }
    }

    std::string makeLink(const std::string &name, const std::string &text) {
        const std::string path = dir_ / name;
        EXPECT_EQ(0, ::symlink(text.c_str(), path.c_str()));
        return path;
    }

    static std::string readLink(const std::string &path) {
        std::array<char, 4096> buffer{};
        const ssize_t count = ::readlink(path.c_str(), buffer.data(), buffer.size());
        return count < 0 ? "" : std::string(buffer.data(), static_cast<std::size_t>(count));
    }

    static bool exists(const std::string &path) {
        struct stat record {};
        return ::lstat(path.c_str(), &record) == 0;
    }

    faults::Scope scope_;
    FakeJni jni_;
    TempDir dir_;
};

constexpr char kQueryDenied[] = "Could not query file for information.  Permission denied.";
constexpr char kFileNotFound[] = "File does not exist on system or the file name was too long.";
constexpr char kUnknown[] = "Unknown system error occured.";

TEST_F(Links, EachErrnoOfTheStatRowsIsClassified) {
    const std::string link = makeLink("link", "target");
    expectRows(faults::LSTAT,
               {{{EACCES}, kDenied, kQueryDenied},
                {{ENOENT, ENOTDIR, ENAMETOOLONG}, kNotFound, kFileNotFound},
                {{ELOOP, EIO, EOVERFLOW, EPERM}, kIo, kUnknown}},
               [&] { EXPECT_FALSE(isSymLink(link)); });
}

TEST_F(Links, EachErrnoOfTheReadlinkRowsIsClassified) {
    const std::string link = makeLink("link", "target");
    expectRows(faults::READLINK,
               {{{EACCES}, kDenied, kQueryDenied},
                {{ENOENT, ENOTDIR, ENAMETOOLONG}, kNotFound, kFileNotFound},
                {{EINVAL, EIO, ELOOP, EPERM}, kIo, "System error occured."}},
               [&] { EXPECT_EQ(nullptr, getSymLinkValue(link)); });
}

TEST_F(Links, EachErrnoOfTheSymlinkRowsIsClassifiedAndAnExistingEntryIsDone) {
    const std::string link = dir_ / "link";
    expectRows(faults::SYMLINK,
               {{{EACCES, EPERM, EROFS}, kDenied, "Could not create the link.  Permission denied."},
                {{ENOENT, ENOTDIR, ENAMETOOLONG}, kNotFound, kFileNotFound},
                {{EEXIST}, nullptr, nullptr},
                {{ENOSPC, EDQUOT, EIO, ELOOP}, kIo, kUnknown}},
               [&] { createSymLink(link, "target"); });
    EXPECT_FALSE(exists(link));
}

TEST_F(Links, EachErrnoOfTheUnlinkRowsIsClassified) {
    const std::string link = makeLink("link", "target");
    expectRows(faults::UNLINK,
               {{{EACCES, EBUSY}, kDenied, "Could not access symlink for removal.  Permission denied."},
                {{ENOENT, ENOTDIR, ENAMETOOLONG}, kNotFound,
                 "Symlink does not exist on system or the symlink name was too long."},
                {{EPERM, EROFS, EISDIR, EIO}, kIo, kUnknown}},
               [&] { symlinkDelete(link); });
    EXPECT_TRUE(exists(link));
}

TEST_F(Links, SymlinkAndUnlinkAreRetriedThroughEintr) {
    const std::string link = dir_ / "link";
    faults::fail(faults::SYMLINK, EINTR, 1000);
    createSymLink(link, "target");
    EXPECT_TRUE(jni_.thrown.empty());
    EXPECT_EQ(1001, faults::calls(faults::SYMLINK));
    EXPECT_EQ("target", readLink(link));

    faults::fail(faults::UNLINK, EINTR, 1000);
    symlinkDelete(link);
    EXPECT_TRUE(jni_.thrown.empty());
    EXPECT_EQ(1001, faults::calls(faults::UNLINK));
    EXPECT_FALSE(exists(link));
}

TEST_F(Links, LstatIsRetriedThroughEintr) {
    const std::string link = makeLink("link", "target");
    faults::fail(faults::LSTAT, EINTR, 1000);
    EXPECT_TRUE(isSymLink(link));
    EXPECT_TRUE(jni_.thrown.empty());
    EXPECT_EQ(1001, faults::calls(faults::LSTAT));
}

TEST_F(Links, ReadlinkIsCalledOnceEvenWhenInterrupted) {
    const std::string link = makeLink("link", "target");
    faults::fail(faults::READLINK, EINTR);
    EXPECT_EQ(nullptr, getSymLinkValue(link));
    EXPECT_EQ(1, faults::calls(faults::READLINK));
    const FakeJni::Thrown thrown = takeThrown();
    EXPECT_EQ(kIo, thrown.className);
    EXPECT_EQ(message(EINTR, "System error occured.", kIo), thrown.message);
}

TEST_F(Links, ReadCreateAndDeleteMakeOneSystemCallAndNoLstat) {
    const std::string link = dir_ / "link";
    createSymLink(link, "target");
    EXPECT_EQ("target", linkValue(link));
    symlinkDelete(link);
    EXPECT_TRUE(jni_.thrown.empty());
    EXPECT_EQ(1, faults::calls(faults::SYMLINK));
    EXPECT_EQ(1, faults::calls(faults::READLINK));
    EXPECT_EQ(1, faults::calls(faults::UNLINK));
    EXPECT_EQ(0, faults::calls(faults::LSTAT));
}

TEST_F(Links, NullArgumentsReachNoSystemCall) {
    Java_com_zel_io_file_UnixNativeFile_symlinkDelete(jni_.env(), nullptr, nullptr);
    EXPECT_EQ(message(0, "filename passed in was NULL.", kIo), takeThrown().message);
    Java_com_zel_io_file_UnixNativeFile_getSymLinkValue(jni_.env(), nullptr, nullptr);
    EXPECT_EQ(message(0, "filename passed in was NULL.", kIo), takeThrown().message);
    Java_com_zel_io_file_UnixNativeFile_createSymLink(jni_.env(), nullptr, str(dir_ / "link"), nullptr);
    EXPECT_EQ(message(0, "filename to link to, and/or from, passed in was NULL.", kIo),
              takeThrown().message);
    EXPECT_EQ(0, jni_.charsHeld);
    EXPECT_EQ(0, faults::calls(faults::UNLINK));
    EXPECT_EQ(0, faults::calls(faults::READLINK));
    EXPECT_EQ(0, faults::calls(faults::SYMLINK));
}

TEST_F(Links, EachMethodLogsItsOwnLines) {
    const std::string link = dir_ / "link";
    CapturedLog log;
    createSymLink(link, "real");
    getSymLinkValue(link);
    symlinkDelete(link);
    faults::fail(faults::READLINK, EIO);
    getSymLinkValue(link);
    const std::string out = log.text();

    const std::string names[] = {"createSymLink", "getSymLinkValue", "symlinkDelete", "getSymLinkValue"};
    const std::string lines[] = {
        "Creating symbolic link from: [" + link + "] to 'real' file: [real]\n",
        "Reading symlink data from: [" + link + "]\n",
        "Deleting symbolic link: [" + link + "]\n",
        "Reading symlink data from: [" + link + "]\n",
    };
    std::size_t at = 0;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const std::string fn = "Java_com_zel_io_file_UnixNativeFile_" + names[i];
        const std::size_t entry = out.find("> entering: [" + fn + "]\n", at);
        const std::size_t line = out.find(lines[i], at);
        const std::size_t exit = out.find("< exiting: [" + fn + "]\n", at);
        ASSERT_NE(std::string::npos, exit) << names[i] << "\n" << out;
        EXPECT_LT(entry, line) << names[i];
        EXPECT_LT(line, exit) << names[i];
        at = exit + 1;
    }
    EXPECT_EQ(std::string::npos, out.find("STATing file"));
    EXPECT_EQ(message(EIO, "System error occured.", kIo), takeThrown().message);
}

TEST_F(Links, LinkTextIsCutTo1023BytesAndEndsAtItsOwnLength) {
    const std::string exact(1023, 'e');
    const std::string full(1024, 'f');
    const std::string longest(4095, 'l');
    EXPECT_EQ(exact, linkValue(makeLink("exact", exact)));
    EXPECT_EQ(full.substr(0, 1023), linkValue(makeLink("full", full)));
    EXPECT_EQ(longest.substr(0, 1023), linkValue(makeLink("longest", longest)));
    // A short text read right after a long one shows nothing of the long one.
    EXPECT_EQ("s", linkValue(makeLink("short", "s")));
    EXPECT_TRUE(jni_.thrown.empty());
}

TEST_F(Links, LinkTextIsConvertedFromTheLocaleCodePage) {
    faults::codeSet = "ISO-8859-1";
    EXPECT_EQ("caf\xC3\xA9", linkValue(makeLink("latin1", "caf\xE9")));
}

TEST_F(Links, LinkTextThatFailsConversionKeepsItsBytesAsEscapes) {
    faults::codeSet = "ISO-8859-1";
    const std::string link = makeLink("latin1", "caf\xE9");
    faults::fail(faults::ICONV, EILSEQ, 2);
    jstring value = getSymLinkValue(link);
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(u"caf\xDCE9", FakeJni::units(value));

    // Doubled in UTF-8, a text of 1023 such bytes still comes back whole.
    const std::string wide(1023, '\xE9');
    value = getSymLinkValue(makeLink("wide", wide));
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(std::u16string(1023, u'\u00E9'), FakeJni::units(value));
    EXPECT_TRUE(jni_.thrown.empty());
}

}  // namespace
