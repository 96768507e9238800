// Texts between Java, UTF-8 and the locale's code page.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdlib>
#include <string>

#include "fake_jni.h"
#include "test_support.h"

namespace {

using Buffer = std::array<char, NF_PATH_LEN>;

// A Latin-1 locale built for the tests, so that texts must go through iconv.
class Latin1Locale : public testing::Test {
protected:
    static void SetUpTestSuite() { locales_ = new MadeLocales({"ISO-8859-1"}); }
    static void TearDownTestSuite() { delete locales_; }
    void SetUp() override {
        if (std::setlocale(LC_ALL, "en_US.ISO-8859-1") == nullptr) GTEST_SKIP() << "localedef failed";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    faults::Scope scope_;
    static MadeLocales *locales_;
};
MadeLocales *Latin1Locale::locales_ = nullptr;

TEST_F(Latin1Locale, TextsAreConvertedBothWays) {
    onNewThread([] {
        Buffer out{};
        ASSERT_EQ(out.data(), NativeFile_stringConverterFromUTF8(out.data(), "caf\xC3\xA9", NF_PATH_LEN));
        EXPECT_STREQ("caf\xE9", out.data());
        ASSERT_EQ(out.data(), NativeFile_stringConverterToUTF8(out.data(), "caf\xE9", NF_PATH_LEN));
        EXPECT_STREQ("caf\xC3\xA9", out.data());
    });
    EXPECT_EQ(2, faults::calls(faults::ICONV_OPEN));
}

TEST_F(Latin1Locale, UnconvertibleJavaStringTravelsAsItsUTF8Bytes) {
    FakeJni jni;
    Buffer out{};
    CapturedLog log;
    NativeFile_GetNativeStringFromJString(jni.env(), out.data(), jni.string("\xE2\x82\xAC"), NF_PATH_LEN);
    const std::string printed = log.text();
    EXPECT_STREQ("\xE2\x82\xAC", out.data());
    EXPECT_NE(std::string::npos, printed.find("There was a conversion error during string codepage conversion.  iconv return code: [-1].   errno: [84]\n"));
    EXPECT_NE(std::string::npos, printed.find("String conversion failed.  Just copying the UTF-8 Buffer.\n"));
    EXPECT_EQ(0, jni.charsHeld);
}

TEST_F(Latin1Locale, ConvertedFormMustFitWithItsNul) {
    Buffer out{};
    const std::string fits(1023, 'a');
    EXPECT_NE(nullptr, NativeFile_stringConverterFromUTF8(out.data(), fits.c_str(), NF_PATH_LEN));
    EXPECT_EQ(fits, out.data());
    const std::string tooLong(1024, 'b');
    EXPECT_EQ(nullptr, NativeFile_stringConverterFromUTF8(out.data(), tooLong.c_str(), NF_PATH_LEN));

    FakeJni jni;
    NativeFile_GetNativeStringFromJString(jni.env(), out.data(), jni.string(tooLong), NF_PATH_LEN);
    EXPECT_EQ(std::string(1023, 'b'), out.data());
}

TEST(CodePages, PassThroughNamesCopyWithoutIconv) {
    faults::Scope scope;
    for (const char *name : {"C", "POSIX", "UTF-8", "ASCII", "ANSI_X3.4-1968"}) {
        faults::codeSet = name;
        Buffer out{};
        EXPECT_NE(nullptr, NativeFile_stringConverterFromUTF8(out.data(), "\xC3\xA9t\xC3\xA9", NF_PATH_LEN));
        EXPECT_STREQ("\xC3\xA9t\xC3\xA9", out.data()) << name;
        EXPECT_NE(nullptr, NativeFile_stringConverterToUTF8(out.data(), "\xFF", NF_PATH_LEN));
        EXPECT_STREQ("\xFF", out.data()) << name;
    }
    EXPECT_EQ(0, faults::calls(faults::ICONV_OPEN));

    faults::codeSet = "UTF-8";
    Buffer out{};
    const std::string tooLong(2000, 'c');
    EXPECT_NE(nullptr, NativeFile_stringConverterFromUTF8(out.data(), tooLong.c_str(), NF_PATH_LEN));
    EXPECT_EQ(std::string(1023, 'c'), out.data());
}

TEST(CodePages, NamesAreComparedExactlyAndEmptyMeansLatin1) {
    faults::Scope scope;
    Buffer out{};
    faults::codeSet = "utf8";
    onNewThread([&] {
        EXPECT_NE(nullptr, NativeFile_stringConverterFromUTF8(out.data(), "\xC3\xA9", NF_PATH_LEN));
        EXPECT_STREQ("\xC3\xA9", out.data());
    });
    EXPECT_EQ(1, faults::calls(faults::ICONV_OPEN));

    faults::codeSet = "";
    CapturedLog log;
    EXPECT_NE(nullptr, NativeFile_stringConverterFromUTF8(out.data(), "\xC3\xA9", NF_PATH_LEN));
    EXPECT_STREQ("\xE9", out.data());
    const std::string printed = log.text();
    EXPECT_NE(std::string::npos, printed.find("Converting to charset: []\n"));
    EXPECT_NE(std::string::npos, printed.find("Converting string from codepage: [UTF-8] to codepage [ISO8859-1]\n"));
}

TEST(CodePages, ConverterFailuresGiveNull) {
    faults::Scope scope;
    Buffer out{};
    EXPECT_EQ(nullptr, NativeFile_stringConverter(out.data(), "x", NF_PATH_LEN, "NO-SUCH-CODEPAGE", "UTF-8"));
    faults::fail(faults::ICONV_OPEN, EINVAL);
    EXPECT_EQ(nullptr, NativeFile_stringConverter(out.data(), "x", NF_PATH_LEN, "UTF-8", "ISO8859-1"));
    faults::fail(faults::ICONV, EILSEQ);
    EXPECT_EQ(nullptr, NativeFile_stringConverter(out.data(), "x", NF_PATH_LEN, "UTF-8", "ISO8859-1"));
    EXPECT_EQ(nullptr, NativeFile_stringConverter(out.data(), nullptr, NF_PATH_LEN, "UTF-8", "ISO8859-1"));
    EXPECT_EQ(nullptr, NativeFile_stringConverter(nullptr, "x", NF_PATH_LEN, "UTF-8", "ISO8859-1"));
    EXPECT_EQ(nullptr, NativeFile_stringConverterFromUTF8(out.data(), nullptr, NF_PATH_LEN));
    EXPECT_EQ(nullptr, NativeFile_stringConverterToUTF8(nullptr, "x", NF_PATH_LEN));
}

TEST(CodePages, NullNamesMeanLatin1AndEqualNamesCopy) {
    faults::Scope scope;
    Buffer out{};
    EXPECT_NE(nullptr, NativeFile_stringConverter(out.data(), "\xE9", NF_PATH_LEN, nullptr, "UTF-8"));
    EXPECT_STREQ("\xC3\xA9", out.data());
    EXPECT_NE(nullptr, NativeFile_stringConverter(out.data(), "\xC3\xA9", NF_PATH_LEN, "UTF-8", nullptr));
    EXPECT_STREQ("\xE9", out.data());
    const int opened = faults::calls(faults::ICONV_OPEN);
    EXPECT_NE(nullptr, NativeFile_stringConverter(out.data(), "\xFF\xFE", NF_PATH_LEN, "X", "X"));
    EXPECT_STREQ("\xFF\xFE", out.data());
    EXPECT_EQ(opened, faults::calls(faults::ICONV_OPEN));
}

TEST(CodePages, LengthOneAndEmptyTexts) {
    faults::Scope scope;
    faults::codeSet = "UTF-8";
    char one[1] = {'x'};
    EXPECT_NE(nullptr, NativeFile_stringConverterFromUTF8(one, "abc", 1));
    EXPECT_EQ('\0', one[0]);
    Buffer out{};
    out[0] = 'x';
    EXPECT_NE(nullptr, NativeFile_stringConverterToUTF8(out.data(), "", NF_PATH_LEN));
    EXPECT_STREQ("", out.data());
    faults::codeSet = "ISO-8859-1";
    EXPECT_NE(nullptr, NativeFile_stringConverterToUTF8(out.data(), "", NF_PATH_LEN));
    EXPECT_STREQ("", out.data());
}

TEST(JavaStrings, OutOfMemoryReadsAndReleasesNothing) {
    FakeJni jni;
    jni.failStringChars = true;
    Buffer out{};
    out[0] = 'x';
    EXPECT_EQ(out.data(), NativeFile_GetNativeStringFromJString(jni.env(), out.data(), jni.string("a"), NF_PATH_LEN));
    EXPECT_STREQ("", out.data());
    EXPECT_EQ(out.data(), NativeFile_GetNativeStringFromArray(jni.env(), out.data(), reinterpret_cast<jbyteArray>(jni.string("a")), NF_PATH_LEN));
    EXPECT_STREQ("", out.data());
    EXPECT_EQ(0, jni.charsHeld);
}

TEST(JavaStrings, ByteArraysAreReadAsNulTerminatedUTF8) {
    faults::Scope scope;
    faults::codeSet = "UTF-8";
    FakeJni jni;
    Buffer out{};
    NativeFile_GetNativeStringFromArray(jni.env(), out.data(), reinterpret_cast<jbyteArray>(jni.string("/tmp/\xC3\xA9")), NF_PATH_LEN);
    EXPECT_STREQ("/tmp/\xC3\xA9", out.data());
    EXPECT_EQ(0, jni.charsHeld);
}

}  // namespace
