// Texts crossing the JNI boundary: standard UTF-8, lossless bytes, never cut.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "NativeFile_helper.h"
#include "UnixNativeFile_strutil.h"
#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

using Units = std::u16string;

// Encodes UTF-16 units; the error value, or the bytes.
std::pair<int, std::string> encode(const Units &units, std::size_t room = NF_PATH_LEN) {
    std::string out(room, '\x7f');
    const int err = nf::encodeUTF8(reinterpret_cast<const jchar *>(units.data()), units.size(), out.data(), room);
    return {err, err ? std::string() : std::string(out.c_str())};
}

Units decode(const std::string &bytes) {
    Units out(bytes.size(), u'\0');
    out.resize(nf::decodeUTF8(bytes.data(), bytes.size(), reinterpret_cast<jchar *>(out.data())));
    return out;
}

TEST(Transcoding, EveryLengthClassEncodesAsStandardUTF8) {
    struct {
        Units units;
        std::string bytes;
    } rows[] = {
        {u"a", "a"},
        {u"\u007F", "\x7F"},
        {u"\u0080", "\xC2\x80"},
        {u"\u00E9", "\xC3\xA9"},
        {u"\u07FF", "\xDF\xBF"},
        {u"\u0800", "\xE0\xA0\x80"},
        {u"\u76EE", "\xE7\x9B\xAE"},
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair, not two 3-byte halves
        {u"\U00010000", "\xF0\x90\x80\x80"},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(0, encode(row.units).first);
        EXPECT_EQ(row.bytes, encode(row.units).second);
        EXPECT_EQ(row.units, decode(row.bytes));
    }
}

TEST(Transcoding, EscapeRangeStandsForRawBytesAndNothingElse) {
    EXPECT_EQ("\x80", encode(u"\xDC80").second);
    EXPECT_EQ("\xFF", encode(u"\xDCFF").second);
    EXPECT_EQ(EINVAL, encode(u"\xDC7F").first);
    EXPECT_EQ(EINVAL, encode(u"\xDD00").first);
    EXPECT_EQ(EINVAL, encode(u"\xD800").first);       // lone high surrogate
    EXPECT_EQ(EINVAL, encode(u"a\xD83D" "b").first);  // high surrogate without its low half
    EXPECT_EQ(EINVAL, encode(u"\xDFFF").first);       // lone low surrogate outside the escapes
    EXPECT_EQ(EINVAL, encode(Units(u"a\0b", 3)).first);
}

TEST(Transcoding, InvalidBytesDecodeToEscapes) {
    struct {
        std::string bytes;
        Units units;
    } rows[] = {
        {"\xFF\xFE", u"\xDCFF\xDCFE"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"},              // overlong slash
        {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},    // overlong 3-byte form
        {"\xF0\x80\x80\xAF", u"\xDCF0\xDC80\xDC80\xDCAF"},
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},    // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // above U+10FFFF
        {"\xC3", u"\xDCC3"},                        // truncated at the end
        {"\xE7\x9B", u"\xDCE7\xDC9B"},
        {"\xE7\x9Bx", u"\xDCE7\xDC9Bx"},            // truncated before an ASCII byte
        {"\x80", u"\xDC80"},                        // stray continuation byte
    };
    for (const auto &row : rows) {
        EXPECT_EQ(row.units, decode(row.bytes));
        EXPECT_EQ(row.bytes, encode(row.units).second);
    }
}

TEST(Transcoding, AnyByteStringSurvivesTheRoundTrip) {
    std::mt19937 random(20261205);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(length(random), '\0');
        for (char &b : bytes) {
            // Mostly UTF-8-looking bytes, so that valid sequences occur too.
            b = static_cast<char>(round % 2 ? byte(random) : 0x80 | (byte(random) & 0x7F));
            if (round % 3 == 0 && (&b - bytes.data()) % 4 == 0) b = static_cast<char>(0xE0 | (byte(random) & 0x1F));
        }
        const Units units = decode(bytes);
        ASSERT_EQ(bytes, encode(units, 4 * bytes.size() + 1).second) << "round " << round;
    }
}

TEST(Transcoding, TextAndNulMustFitTheRoom) {
    EXPECT_EQ(0, encode(Units(1023, u'a')).first);
    EXPECT_EQ(ENAMETOOLONG, encode(Units(1024, u'a')).first);
    EXPECT_EQ(0, encode(Units(511, u'\u00E9') + u"a").first);
    EXPECT_EQ(ENAMETOOLONG, encode(Units(512, u'\u00E9')).first);  // 1024 bytes
    EXPECT_EQ(ENAMETOOLONG, encode(Units(1021, u'a') + u"\U0001F600").first);
}

class JavaToNative : public testing::Test {
protected:
    int toNative(const Units &units) {
        out_.fill('\x7f');
        return nf::javaToNativePath(jni_.env(), jni_.string(units), out_.data(), out_.size());
    }
    faults::Scope scope_;
    FakeJni jni_;
    std::array<char, NF_PATH_LEN> out_{};
};

TEST_F(JavaToNative, PassThroughLocalesTakeStandardUTF8) {
    for (const char *codeSet : {"UTF-8", "ANSI_X3.4-1968"}) {
        faults::codeSet = codeSet;
        EXPECT_EQ(0, toNative(u"/tmp/\U0001F600.txt"));
        EXPECT_STREQ("/tmp/\xF0\x9F\x98\x80.txt", out_.data());
        EXPECT_EQ(0, toNative(u"/tmp/\xDCFF"));
        EXPECT_STREQ("/tmp/\xFF", out_.data());
    }
    EXPECT_EQ(0, faults::calls(faults::ICONV_OPEN));
}

TEST_F(JavaToNative, TooLongOrInvalidLeavesAnEmptyText) {
    faults::codeSet = "UTF-8";
    EXPECT_EQ(0, toNative(Units(1023, u'p')));
    EXPECT_EQ(std::string(1023, 'p'), out_.data());
    EXPECT_EQ(ENAMETOOLONG, toNative(Units(1024, u'p')));
    EXPECT_STREQ("", out_.data());
    EXPECT_EQ(ENAMETOOLONG, toNative(Units(1 << 20, u'p')));
    EXPECT_EQ(EINVAL, toNative(Units(u"/tmp/\0x", 7)));
    EXPECT_STREQ("", out_.data());
}

TEST_F(JavaToNative, OtherCodePagesConvertAndStillNeverCut) {
    faults::codeSet = "ISO-8859-1";
    // 1023 characters that are 2046 bytes of UTF-8 but 1023 bytes of Latin-1.
    EXPECT_EQ(0, toNative(Units(1023, u'\u00E9')));
    EXPECT_EQ(std::string(1023, '\xE9'), out_.data());
    // A character Latin-1 lacks: the name goes as its UTF-8 bytes.
    EXPECT_EQ(0, toNative(u"\u20AC"));
    EXPECT_STREQ("\xE2\x82\xAC", out_.data());
    EXPECT_EQ(ENAMETOOLONG, toNative(Units(400, u'\u20AC')));  // 1200 bytes of UTF-8
}

TEST_F(JavaToNative, NativeTextsComeBackLossless) {
    faults::codeSet = "UTF-8";
    jstring s = nf::nativeToJava(jni_.env(), "\xF0\x9F\x98\x80-\xFF", NF_PATH_LEN);
    EXPECT_EQ(u"\U0001F600-\xDCFF", FakeJni::units(s));
    faults::codeSet = "ISO-8859-1";
    s = nf::nativeToJava(jni_.env(), std::string(1023, '\xE9').c_str(), NF_PATH_LEN);
    EXPECT_EQ(Units(1023, u'\u00E9'), FakeJni::units(s));
    const std::string tooLong(2000, 'q');
    s = nf::nativeToJava(jni_.env(), tooLong.c_str(), NF_PATH_LEN);
    EXPECT_EQ(Units(1023, u'q'), FakeJni::units(s));
}

TEST_F(JavaToNative, ANativeMethodMakesNoSystemCallWithATextThatDoesNotFit) {
    faults::codeSet = "UTF-8";
    Java_com_zel_io_file_UnixNativeFile_getUserPermissions(jni_.env(), nullptr, jni_.string(Units(1024, u'a')));
    Java_com_zel_io_file_UnixNativeFile_symlinkDelete(jni_.env(), nullptr, jni_.string(Units(u"a\0", 2)));
    EXPECT_EQ(0, faults::calls(faults::LSTAT));
    EXPECT_EQ(0, faults::calls(faults::UNLINK));
    ASSERT_EQ(2u, jni_.thrown.size());
    EXPECT_EQ("com/zel/io/file/exception/FileNotFoundException", jni_.thrown[0].className);
    EXPECT_EQ(0u, jni_.thrown[0].message.find("[ERRNO: 036] MSG: File does not exist on system or the file name was too long."));
    EXPECT_EQ("com/zel/io/file/exception/ExtendedIOException", jni_.thrown[1].className);
    EXPECT_EQ(0u, jni_.thrown[1].message.find("[ERRNO: 022] MSG: Unknown system error occured."));
}

}  // namespace
