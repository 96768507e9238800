// The iconv descriptors a thread keeps: every conversion gives what a new
// descriptor would, whatever came before it on the thread, and every
// descriptor opened is closed.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <string>
#include <vector>

#include "NativeFile_helper.h"
#include "UnixNativeFile_strutil.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

struct Conversion {
    std::string text;
    const char *from;
    const char *to;
    std::size_t len;
};

struct Result {
    int err;
    std::string bytes;  // the whole buffer
    bool operator==(const Result &) const = default;
};

Result convert(const Conversion &c) {
    std::string out(c.len, '\x7f');
    const int err = nf::convertCodePage(out.data(), c.len, c.text.c_str(), c.from, c.to);
    return {err, out};
}

// What a thread that has never converted gets: a descriptor opened anew.
Result fresh(const Conversion &c) {
    Result result;
    onNewThread([&] { result = convert(c); });
    return result;
}

// UTF-7 keeps a shift state: a conversion that stops midway (an invalid
// byte, or no room) leaves its descriptor inside a base64 run, and a
// descriptor used again without a reset would leave out the '+' that opens
// one.
const std::vector<Conversion> kConversions = {
    {"\xC3\xA9\xFF", "UTF-8", "UTF-7", 64},  // fails at the invalid byte
    {"\xC3\xA9", "UTF-8", "UTF-7", 64},
    {"\xC3\xA9\xC3\xA9\xC3\xA9", "UTF-8", "UTF-7", 3},  // no room
    {"\xC3\xA9", "UTF-8", "UTF-7", 64},
    {"caf\xC3\xA9", "UTF-8", "ISO-8859-1", 64},
    {"caf\xE9", "ISO-8859-1", "UTF-8", 64},
    {"\xE2\x82\xAC", "UTF-8", "ISO-8859-1", 64},  // a character Latin-1 lacks
    {"\xE2\x82\xAC", "UTF-8", "ISO-8859-15", 64},
    {"x", "UTF-8", "NO-SUCH-CODEPAGE", 64},
    {"\xE9", "ISO-8859-1", "UTF-16", 64},
    {"\xC3\xA9", "UTF-8", "UTF-16LE", 64},
};

TEST(ThreadConverters, EveryConversionGivesWhatANewDescriptorGives) {
    faults::Scope scope;
    std::vector<Result> expected;
    for (const Conversion &c : kConversions) expected.push_back(fresh(c));
    ASSERT_EQ('+', expected[1].bytes[0]);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < kConversions.size(); ++i)
            EXPECT_EQ(expected[i], convert(kConversions[i])) << "conversion " << i << ", round " << round;
    }
}

TEST(ThreadConverters, OpenedOnceByEachThreadAndClosedWhenItEnds) {
    faults::Scope scope;
    const auto work = [] {
        const int closes = faults::calls(faults::ICONV_CLOSE);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(0, convert(kConversions[4]).err);
            EXPECT_EQ(0, convert(kConversions[5]).err);
        }
        EXPECT_EQ(closes, faults::calls(faults::ICONV_CLOSE));
    };
    onNewThread(work);
    EXPECT_EQ(2, faults::calls(faults::ICONV_OPEN));
    EXPECT_EQ(2, faults::calls(faults::ICONV_CLOSE));
    onNewThread(work);
    EXPECT_EQ(4, faults::calls(faults::ICONV_OPEN));
    EXPECT_EQ(4, faults::calls(faults::ICONV_CLOSE));
}

TEST(ThreadConverters, ManyPairsStillConvertRightAndCloseEveryDescriptor) {
    faults::Scope scope;
    std::vector<Result> expected;
    for (const Conversion &c : kConversions) expected.push_back(fresh(c));
    const int opensBefore = faults::calls(faults::ICONV_OPEN);
    const int closesBefore = faults::calls(faults::ICONV_CLOSE);
    onNewThread([&] {
        // Backwards too, so that pairs come back after others took their place.
        for (std::size_t i = 0; i < kConversions.size(); ++i) EXPECT_EQ(expected[i], convert(kConversions[i]));
        for (std::size_t i = kConversions.size(); i-- > 0;) EXPECT_EQ(expected[i], convert(kConversions[i]));
    });
    const int opens = faults::calls(faults::ICONV_OPEN) - opensBefore;
    EXPECT_GT(opens, 6) << "six pairs that open, some opened again";
    // The two failed opens of NO-SUCH-CODEPAGE need no close.
    EXPECT_EQ(opens - 2, faults::calls(faults::ICONV_CLOSE) - closesBefore);
}

TEST(ThreadConverters, AFailedOpenIsTriedAgain) {
    faults::Scope scope;
    onNewThread([] {
        faults::fail(faults::ICONV_OPEN, EMFILE);
        EXPECT_EQ(EMFILE, convert(kConversions[4]).err);
        EXPECT_EQ(0, convert(kConversions[4]).err);
    });
    EXPECT_EQ(2, faults::calls(faults::ICONV_OPEN));
}

// A Latin-1 and a Latin-9 locale, which differ in 0xA4: the currency sign,
// or the euro sign.
class LocaleChanges : public testing::Test {
protected:
    static void SetUpTestSuite() { locales_ = new MadeLocales({"ISO-8859-1", "ISO-8859-15"}); }
    static void TearDownTestSuite() { delete locales_; }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    static bool use(const char *locale) { return std::setlocale(LC_ALL, locale) != nullptr; }

    std::string toNative(jstring string) {
        std::array<char, NF_PATH_LEN> out{};
        EXPECT_EQ(0, nf::javaToNativePath(jni_.env(), string, out.data(), out.size()));
        return out.data();
    }

    // UTF-8 into "", the name that means the locale's code page.
    static std::string converted(const std::string &utf8) {
        const Result result = convert({utf8, "UTF-8", "", 16});
        EXPECT_EQ(0, result.err);
        return result.bytes.c_str();
    }

    faults::Scope scope_;
    FakeJni jni_;
    static MadeLocales *locales_;
};
MadeLocales *LocaleChanges::locales_ = nullptr;

TEST_F(LocaleChanges, ConversionsFollowTheLocaleOfTheMoment) {
    if (!use("en_US.ISO-8859-1") || !use("en_US.ISO-8859-15")) GTEST_SKIP() << "localedef failed";
    jstring euro = jni_.string(u"\u20AC");
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(use("en_US.ISO-8859-1"));
        EXPECT_EQ("\xE2\x82\xAC", toNative(euro));  // Latin-1 lacks it: its UTF-8 bytes
        EXPECT_EQ(u"\u00A4", FakeJni::units(nf::nativeToJava(jni_.env(), "\xA4", NF_PATH_LEN)));
        EXPECT_EQ("\xA4", converted("\xC2\xA4"));

        ASSERT_TRUE(use("en_US.ISO-8859-15"));
        EXPECT_EQ("\xA4", toNative(euro));
        EXPECT_EQ(u"\u20AC", FakeJni::units(nf::nativeToJava(jni_.env(), "\xA4", NF_PATH_LEN)));
        EXPECT_EQ("\xA4", converted("\xE2\x82\xAC"));

        ASSERT_TRUE(use("C.UTF-8"));
        EXPECT_EQ("\xE2\x82\xAC", toNative(euro));
    }
}

}  // namespace
