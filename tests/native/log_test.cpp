// The diagnostic log: line layout, thread-id text, limits.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "test_support.h"

namespace {

const std::regex kLine(R"(Time: \[0x[0-9a-f]+\], Thread ID: \[0x([0-9A-F]{8}|NO_THREAD_ID)\]: )");

TEST(Log, LineHasTimeThreadAndMessage) {
    faults::Scope scope;
    faults::tid = 26;
    CapturedLog log;
    NativeFile_log("value [%d] text [%s]\n", 42, "%s%n");
    const std::string out = log.text();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, kLine)) << out;
    EXPECT_EQ(0, m.position(0));
    EXPECT_EQ("0000001A", m[1].str());
    EXPECT_EQ("value [42] text [%s%n]\n", m.suffix().str());
}

TEST(Log, ThreadIdTextIsEightUppercaseDigits) {
    faults::Scope scope;
    faults::tid = 0;
    char *zero = NativeFile_get_thread_idstring();
    EXPECT_STREQ("00000000", zero);
    NativeFile_free_thread_idstring(zero);
    faults::tid = static_cast<pid_t>(0xDEADBEEF);
    char *high = NativeFile_get_thread_idstring();
    EXPECT_STREQ("DEADBEEF", high);
    NativeFile_free_thread_idstring(high);
}

// The compiler may turn the allocation and its zeroing into one calloc.
void failNextAllocation() {
    faults::fail(faults::MALLOC, ENOMEM);
    faults::fail(faults::CALLOC, ENOMEM);
}

TEST(Log, NoMemoryForTheThreadIdStillPrintsTheLine) {
    faults::Scope scope;
    CapturedLog log;
    failNextAllocation();
    NativeFile_log("x\n");
    const std::string out = log.text();
    EXPECT_NE(std::string::npos, out.find("Thread ID: [0xNO_THREAD_ID]: x\n")) << out;
    char *shared = NativeFile_get_thread_idstring();
    EXPECT_STRNE("NO_THREAD_ID", shared);
    NativeFile_free_thread_idstring(shared);
    failNextAllocation();
    char *none = NativeFile_get_thread_idstring();
    EXPECT_STREQ("NO_THREAD_ID", none);
    NativeFile_free_thread_idstring(none);  // the shared text is never freed
    NativeFile_free_thread_idstring(nullptr);
}

TEST(Log, LongMessagesKeepTheirFirst4094Characters) {
    CapturedLog log;
    const std::string message(5000, 'm');
    NativeFile_log("%s\n", message.c_str());
    const std::string out = log.text();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, kLine));
    EXPECT_EQ(std::string(4094, 'm'), m.suffix().str());
}

TEST(Log, EntryAndExitLinesAndNullNames) {
    CapturedLog log;
    NativeFile_log_entry("Fn");
    NativeFile_log_exit("Fn");
    NativeFile_log_entry(nullptr);
    NativeFile_log_exit(nullptr);
    NativeFile_log(nullptr);
    const std::string out = log.text();
    const std::regex lines(R"((Time: [^\n]*: > entering: \[Fn\]\n)(Time: [^\n]*: < exiting: \[Fn\]\n))");
    EXPECT_TRUE(std::regex_match(out, lines)) << out;
}

TEST(Log, SwitchQueriesAreZeroOrOne) {
    const int before = NativeFile_log_is_dbg_enabled();
    EXPECT_TRUE(before == 0 || before == 1);
    CapturedLog log;
    EXPECT_EQ(1, NativeFile_log_is_dbg_enabled());
    EXPECT_EQ(1, NativeFile_log_is_entryexit_enabled());
}

}  // namespace
