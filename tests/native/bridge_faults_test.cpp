// Failures the system will not produce on demand, in the bridge's own paths:
// the code-page converter failing under every text path, and the user and
// group lookups failing.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "NativeFile_helper.h"
#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

using Units = std::u16string;

// The ways iconv_open and iconv report a failure.
constexpr int kOpenErrors[] = {EINVAL, EMFILE, ENFILE, ENOMEM};
constexpr int kConvertErrors[] = {EILSEQ, EINVAL, EBADF};

// A locale whose code page is not taken as it stands, so every text goes
// through the converter.
class ConverterFaults : public testing::Test {
protected:
    void SetUp() override { faults::codeSet = "ISO-8859-1"; }

    int toNative(const Units &units) {
        out_.fill('\x7f');
        return nf::javaToNativePath(jni_.env(), jni_.string(units), out_.data(), out_.size());
    }
    Units toJava(const char *bytes) {
        jstring s = nf::nativeToJava(jni_.env(), bytes, NF_PATH_LEN);
        return s == nullptr ? u"<null>" : FakeJni::units(s);
    }
    // Arms the converter to fail once, at iconv_open or at iconv.
    static void failConverter(faults::Call call, int err) {
        faults::reset();
        faults::codeSet = "ISO-8859-1";
        faults::fail(call, err);
    }

    faults::Scope scope_;
    FakeJni jni_;
    std::array<char, NF_PATH_LEN> out_{};
};

TEST_F(ConverterFaults, JavaStringsGoAsTheirUTF8BytesWhenTheConverterFails) {
    for (faults::Call call : {faults::ICONV_OPEN, faults::ICONV}) {
        for (int err : call == faults::ICONV_OPEN ? std::span<const int>(kOpenErrors) : std::span<const int>(kConvertErrors)) {
            failConverter(call, err);
            EXPECT_EQ(0, toNative(u"caf\u00E9")) << call << " " << err;
            EXPECT_STREQ("caf\xC3\xA9", out_.data()) << call << " " << err;
            EXPECT_EQ(1, faults::calls(call));
        }
    }
}

TEST_F(ConverterFaults, ConvertedFormThatDoesNotFitIsTooLongAndLeavesNoText) {
    faults::fail(faults::ICONV, E2BIG);
    EXPECT_EQ(ENAMETOOLONG, toNative(u"caf\u00E9"));
    EXPECT_STREQ("", out_.data());
}

TEST_F(ConverterFaults, UTF8FallbackMustFitToo) {
    faults::fail(faults::ICONV_OPEN, EMFILE, 2);
    EXPECT_EQ(0, toNative(Units(511, u'\u00E9') + u"a"));  // 1023 bytes
    EXPECT_EQ(1023u, std::strlen(out_.data()));
    EXPECT_EQ(ENAMETOOLONG, toNative(Units(512, u'\u00E9')));  // 1024 bytes
    EXPECT_STREQ("", out_.data());
}

TEST_F(ConverterFaults, StringsThatNameNoFileNeverReachTheConverter) {
    EXPECT_EQ(EINVAL, toNative(Units(u"a\0b", 3)));
    EXPECT_EQ(EINVAL, toNative(u"a\xD800"));
    EXPECT_STREQ("", out_.data());
    EXPECT_EQ(0, faults::calls(faults::ICONV_OPEN));
}

TEST_F(ConverterFaults, NativeTextsKeepTheirBytesWhenTheConverterFails) {
    for (faults::Call call : {faults::ICONV_OPEN, faults::ICONV}) {
        for (int err : {EILSEQ, EINVAL, E2BIG, EMFILE, ENOMEM}) {
            failConverter(call, err);
            EXPECT_EQ(u"caf\xDCE9", toJava("caf\xE9")) << call << " " << err;
            failConverter(call, err);
            EXPECT_EQ(u"caf\u00E9", toJava("caf\xC3\xA9")) << call << " " << err;
        }
    }
}

TEST_F(ConverterFaults, NativeTextJavaCannotTakeGivesNullWithItsErrorPending) {
    jni_.failNewString = true;
    EXPECT_EQ(u"<null>", toJava("x"));
    EXPECT_EQ(1, jni_.pendingException);
}

TEST_F(ConverterFaults, LocaleConvertersGiveNullAndTheirCallersCopy) {
    for (faults::Call call : {faults::ICONV_OPEN, faults::ICONV}) {
        failConverter(call, call == faults::ICONV_OPEN ? EMFILE : EILSEQ);
        EXPECT_EQ(nullptr, NativeFile_stringConverterFromUTF8(out_.data(), "caf\xC3\xA9", NF_PATH_LEN));
        failConverter(call, call == faults::ICONV_OPEN ? EMFILE : EILSEQ);
        EXPECT_EQ(nullptr, NativeFile_stringConverterToUTF8(out_.data(), "caf\xE9", NF_PATH_LEN));

        failConverter(call, call == faults::ICONV_OPEN ? EMFILE : EILSEQ);
        NativeFile_GetNativeStringFromJString(jni_.env(), out_.data(), jni_.string(u"caf\u00E9"), NF_PATH_LEN);
        EXPECT_STREQ("caf\xC3\xA9", out_.data());
        failConverter(call, call == faults::ICONV_OPEN ? EMFILE : EILSEQ);
        NativeFile_GetNativeStringFromArray(jni_.env(), out_.data(),
                                            reinterpret_cast<jbyteArray>(jni_.string(u"caf\u00E9")), NF_PATH_LEN);
        EXPECT_STREQ("caf\xC3\xA9", out_.data());
    }
    EXPECT_EQ(0, jni_.charsHeld);
}

TEST_F(ConverterFaults, ANativeMethodFindsTheFileByItsUTF8Name) {
    TempDir dir;
    const std::string file = dir / "caf\xC3\xA9";
    std::ofstream(file).put('x');
    ASSERT_EQ(0, chmod(file.c_str(), 0640));
    faults::fail(faults::ICONV_OPEN, ENOMEM);
    const Units path = FakeJni::units(jni_.string(dir.path())) + u"/caf\u00E9";
    EXPECT_EQ(6, Java_com_zel_io_file_UnixNativeFile_getUserPermissions(jni_.env(), nullptr, jni_.string(path)));
    EXPECT_TRUE(jni_.thrown.empty());
}

// Lookups on a file of our own: its owner and group, and their names as the
// database lists them (the decimal id where it lists none).
class LookupFaults : public testing::Test {
protected:
    void SetUp() override {
        std::ofstream(file_).put('x');
        struct stat record {};
        ASSERT_EQ(0, lstat(file_.c_str(), &record));
        uid_ = record.st_uid;
        gid_ = record.st_gid;
        const passwd *user = getpwuid(uid_);
        const struct group *grp = getgrgid(gid_);
        userName_ = user != nullptr ? user->pw_name : std::to_string(uid_);
        groupName_ = grp != nullptr ? grp->gr_name : std::to_string(gid_);
    }

    std::string query(jstring (*method)(JNIEnv *, jclass, jstring)) {
        jstring s = method(jni_.env(), nullptr, jni_.string(file_));
        return s == nullptr ? "<null>" : FakeJni::text(s);
    }
    std::string owner() { return query(Java_com_zel_io_file_UnixNativeFile_getFileOwner); }
    std::string group() { return query(Java_com_zel_io_file_UnixNativeFile_getFileGroup); }
    void setOwner(const std::string &who) {
        Java_com_zel_io_file_UnixNativeFile_setFileOwner(jni_.env(), nullptr, jni_.string(file_), jni_.string(who));
    }
    void setGroup(const std::string &who) {
        Java_com_zel_io_file_UnixNativeFile_setFileGroup(jni_.env(), nullptr, jni_.string(file_), jni_.string(who));
    }

    faults::Scope scope_;
    TempDir dir_;
    std::string file_ = dir_ / "file";
    FakeJni jni_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::string userName_;
    std::string groupName_;
};

constexpr int kLookupErrors[] = {EIO, EMFILE, ENFILE, ENOMEM, EINTR};

TEST_F(LookupFaults, AnErrorOfTheIdLookupGivesTheDecimalIdAfterOneCall) {
    for (int err : kLookupErrors) {
        faults::reset();
        faults::fail(faults::GETPWUID_R, err);
        faults::fail(faults::GETGRGID_R, err);
        EXPECT_EQ(std::to_string(uid_), owner()) << err;
        EXPECT_EQ(std::to_string(gid_), group()) << err;
        EXPECT_EQ(1, faults::calls(faults::GETPWUID_R));
        EXPECT_EQ(1, faults::calls(faults::GETGRGID_R));
    }
    EXPECT_TRUE(jni_.thrown.empty());
}

TEST_F(LookupFaults, AnErrorOfTheNameLookupIsANameNoDatabaseLists) {
    for (int err : kLookupErrors) {
        faults::reset();
        faults::fail(faults::GETPWNAM_R, err);
        faults::fail(faults::GETGRNAM_R, err);
        setOwner("root");
        setGroup("root");
        EXPECT_EQ(1, faults::calls(faults::GETPWNAM_R));
        EXPECT_EQ(1, faults::calls(faults::GETGRNAM_R));
        EXPECT_EQ(0, faults::calls(faults::LCHOWN));
    }
    ASSERT_EQ(2 * std::size(kLookupErrors), jni_.thrown.size());
    EXPECT_EQ("com/zel/io/file/exception/InvalidUserException", jni_.thrown[0].className);
    EXPECT_EQ("[ERRNO: 000] MSG: The username passed down does not appear to exist on the system.  Cannot "
              "re-assign. : A file was attempted to be assigned to an invalid user.",
              jni_.thrown[0].message);
    EXPECT_EQ("com/zel/io/file/exception/InvalidGroupException", jni_.thrown[1].className);
    EXPECT_EQ(0u, jni_.thrown[1].message.find("[ERRNO: 000] MSG: Problems retrieving GID information."));
}

TEST_F(LookupFaults, ERangeGrowsTheBufferUntilTheEntryFits) {
    faults::fail(faults::GETPWUID_R, ERANGE, 3);
    EXPECT_EQ(userName_, owner());
    EXPECT_EQ(4, faults::calls(faults::GETPWUID_R));

    faults::fail(faults::GETGRNAM_R, ERANGE, 3);
    setGroup(groupName_);
    EXPECT_EQ(4, faults::calls(faults::GETGRNAM_R));
    EXPECT_EQ(1, faults::calls(faults::LCHOWN));
    EXPECT_TRUE(jni_.thrown.empty());
}

TEST_F(LookupFaults, ERangeBeyondTheLargestBufferCountsAsNoEntry) {
    faults::fail(faults::GETGRGID_R, ERANGE, 1000);
    EXPECT_EQ(std::to_string(gid_), group());
    // The stack buffer, then ten doublings up to 1024 times its size.
    EXPECT_EQ(11, faults::calls(faults::GETGRGID_R));
}

TEST_F(LookupFaults, NoMemoryForALargerBufferCountsAsNoEntry) {
    faults::fail(faults::GETPWNAM_R, ERANGE);
    faults::fail(faults::NEW_ARRAY, ENOMEM);
    setOwner("root");
    EXPECT_EQ(1, faults::calls(faults::GETPWNAM_R));
    EXPECT_EQ(1, faults::calls(faults::NEW_ARRAY));
    EXPECT_EQ(0, faults::calls(faults::LCHOWN));
    ASSERT_EQ(1u, jni_.thrown.size());
    EXPECT_EQ("com/zel/io/file/exception/InvalidUserException", jni_.thrown[0].className);
}

}  // namespace
