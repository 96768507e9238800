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

}  // namespace
