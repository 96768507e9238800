// Composing and raising the library's exceptions.
#include <gtest/gtest.h>

#include <string>

#include "fake_jni.h"
#include "test_support.h"

namespace {

constexpr char kIoText[] =
    "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";
constexpr char kDefaultText[] =
    "An unknown or unexpected file I/O error has occurred.  Please consult the ERRNO value for "
    "your operating-system.";

FakeJni::Thrown throwOne(int kind, const char *detail, int errnum) {
    FakeJni jni;
    NativeFile_ThrowException(jni.env(), kind, detail, errnum);
    EXPECT_EQ(1u, jni.thrown.size());
    EXPECT_EQ(0, jni.jniCallsWhilePending);
    return jni.thrown.empty() ? FakeJni::Thrown{} : jni.thrown[0];
}

TEST(ThrowException, PrefixShowsAtLeastThreeDigitsAndTheSign) {
    EXPECT_EQ("[ERRNO: 000] MSG: d : " + std::string(kIoText), throwOne(NF_IO_ERROR, "d", 0).message);
    EXPECT_EQ(0u, throwOne(NF_IO_ERROR, "d", 5).message.find("[ERRNO: 005] MSG: d"));
    EXPECT_EQ(0u, throwOne(NF_IO_ERROR, "d", 1234).message.find("[ERRNO: 1234] MSG: d"));
    EXPECT_EQ(0u, throwOne(NF_IO_ERROR, "d", -1).message.find("[ERRNO: -001] MSG: d"));
}

TEST(ThrowException, EachKindHasItsClassAndText) {
    struct {
        int kind;
        const char *cls;
        const char *text;
    } rows[] = {
        {1, "com/zel/io/file/exception/AccessDeniedException",
         "The current user does not have sufficient authority to perform the requested operation."},
        {2, "com/zel/io/file/exception/FileNotFoundException",
         "The file referenced by this object does not appear to reside on disk."},
        {3, "com/zel/io/file/exception/ExtendedIOException", kIoText},
        {4, "com/zel/io/file/exception/InvalidUserException",
         "A file was attempted to be assigned to an invalid user."},
        {5, "com/zel/io/file/exception/InvalidGroupException",
         "A file was attempted to be assigned to an invalid group."},
        {6, "com/zel/io/file/exception/NotSupportedException",
         "The filesystem operation attempted is not supported by the underlying operating-system "
         "file-system."},
        {7, "java/lang/OutOfMemoryError",
         "The operating system refused to allocate any more memory to the current process.  Please "
         "free up or add memory to the system."},
        {0, "com/zel/io/file/exception/ExtendedIOException", kDefaultText},
        {8, "com/zel/io/file/exception/ExtendedIOException", kDefaultText},
        {-1, "com/zel/io/file/exception/ExtendedIOException", kDefaultText},
    };
    for (const auto &row : rows) {
        const auto thrown = throwOne(row.kind, "detail", 13);
        EXPECT_EQ(row.cls, thrown.className) << row.kind;
        EXPECT_EQ(std::string("[ERRNO: 013] MSG: detail : ") + row.text, thrown.message) << row.kind;
    }
}

TEST(ThrowException, LongDetailsFillTheMessageAndCutTheTail) {
    const std::string prefix = "[ERRNO: 013] MSG: ";
    const std::string fills(1005, 'x');
    EXPECT_EQ(prefix + fills, throwOne(NF_IO_ERROR, fills.c_str(), 13).message);
    EXPECT_EQ(1023u, throwOne(NF_IO_ERROR, fills.c_str(), 13).message.size());

    const std::string oneShort(1004, 'y');
    EXPECT_EQ(prefix + oneShort + " ", throwOne(NF_IO_ERROR, oneShort.c_str(), 13).message);

    const std::string huge(5000, 'z');
    EXPECT_EQ(prefix + std::string(1005, 'z'), throwOne(NF_IO_ERROR, huge.c_str(), 13).message);
}

TEST(ThrowException, NullAndEmptyDetailsGiveTheSameMessage) {
    EXPECT_EQ("[ERRNO: 000] MSG:  : " + std::string(kIoText), throwOne(NF_IO_ERROR, nullptr, 0).message);
    EXPECT_EQ(throwOne(NF_IO_ERROR, nullptr, 0).message, throwOne(NF_IO_ERROR, "", 0).message);
}

TEST(ThrowException, MissingClassFallsBackToExceptionAfterClearingTheLookupError) {
    FakeJni jni;
    jni.missingClasses = {"com/zel/io/file/exception/AccessDeniedException"};
    NativeFile_ThrowException(jni.env(), NF_ACCESS_DENIED, "d", 13);
    ASSERT_EQ(1u, jni.thrown.size());
    EXPECT_EQ("java/lang/Exception", jni.thrown[0].className);
    EXPECT_EQ(0u, jni.thrown[0].message.find("[ERRNO: 013] MSG: d : The current user"));
    EXPECT_EQ(1, jni.exceptionClears);
    EXPECT_EQ(0, jni.jniCallsWhilePending);
}

TEST(ThrowException, NoClassAtAllRaisesNothingAndSkipsTheExitLine) {
    FakeJni jni;
    jni.missingClasses = {"com/zel/io/file/exception/ExtendedIOException", "java/lang/Exception"};
    CapturedLog log;
    NativeFile_ThrowException(jni.env(), NF_IO_ERROR, "d", 5);
    const std::string out = log.text();
    EXPECT_TRUE(jni.thrown.empty());
    EXPECT_NE(std::string::npos, out.find("> entering: [NativeFile_ThrowException]\n"));
    EXPECT_EQ(std::string::npos, out.find("< exiting: [NativeFile_ThrowException]"));
}

TEST(ThrowException, LogsTheRoomLeftAfterEachStep) {
    FakeJni jni;
    CapturedLog log;
    NativeFile_ThrowException(jni.env(), NF_IO_ERROR, "abc", 0);
    const std::string out = log.text();
    expectInOrder(out, {
        "Appended errno value.  Total buffer space in exception message [1024].  Space remaining for storage: [1005]\n",
        "Appended NativeFile message.  Total buffer space in exception message [1024].  Space remaining for storage: [1002]\n",
        "Appended ':'.  Total buffer space in exception message [1024].  Space remaining for storage: [999]\n",
        "Appended standard exception type message.  Total buffer space in exception message [1024].  Space remaining for storage: [913]\n",
        "Final exception message to be thrown: [[ERRNO: 000] MSG: abc : An unknown File IO error"});
}

TEST(IsFlagSet, AllBitsOfTheMaskMustBeSet) {
    EXPECT_EQ(1, NativeFile_isFlagSet(6, 4));
    EXPECT_EQ(0, NativeFile_isFlagSet(4, 6));
    EXPECT_EQ(1, NativeFile_isFlagSet(0, 0));
    EXPECT_EQ(1, NativeFile_isFlagSet(0xA1ED, 0xA000));
    EXPECT_EQ(0, NativeFile_isFlagSet(0x81ED, 0xA000));
}

}  // namespace
