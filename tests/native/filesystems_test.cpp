// Mount points and file-system space: the helpers' error codes, figures and
// allocation failures, and the native methods over them.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

constexpr char kIoText[] =
    "An unknown File IO error has occurred.  Please consult up the ERRNO value for your OS.";

// ---------------------------------------------------------------- space

struct statvfs figures(unsigned long frsize, unsigned long bsize, fsblkcnt_t blocks, fsblkcnt_t bfree,
                       fsblkcnt_t bavail) {
    struct statvfs record {};
    record.f_frsize = frsize;
    record.f_bsize = bsize;
    record.f_blocks = blocks;
    record.f_bfree = bfree;
    record.f_bavail = bavail;
    return record;
}

using Helper = long long (*)(const char *, int *, int *);
constexpr Helper kHelpers[] = {UnixNativeFile_getFreeSpace, UnixNativeFile_getFileSystemSize};

struct Measured {
    long long bytes;
    int error;
    int err;
};

// Out-parameters start non-zero, so that a helper that leaves them alone shows.
Measured measure(Helper helper, const char *path = "/p") {
    Measured m{-1, -1, -1};
    m.bytes = helper(path, &m.error, &m.err);
    return m;
}

TEST(SpaceHelpers, StatvfsInterruptedManyTimesIsRetriedUntilItAnswers) {
    faults::Scope scope;
    faults::statvfsRecord = figures(4096, 4096, 2000, 1000, 900);
    faults::fail(faults::STATVFS, EINTR, 5000);
    const Measured m = measure(UnixNativeFile_getFileSystemSize);
    EXPECT_EQ(8192000, m.bytes);
    EXPECT_EQ(0, m.error);
    EXPECT_EQ(0, m.err);
    EXPECT_EQ(5001, faults::calls(faults::STATVFS));
}

TEST(SpaceHelpers, FailuresGiveTheErrorCodeTheErrnoAndNoBytes) {
    const struct {
        int err;
        int code;
    } rows[] = {{ENOENT, NF_FILE_NOT_FOUND}, {ENOTDIR, NF_FILE_NOT_FOUND}, {ENAMETOOLONG, NF_FILE_NOT_FOUND},
                {EACCES, NF_ACCESS_DENIED},  {ENOSYS, NF_NOT_SUPPORTED},   {EIO, NF_IO_ERROR},
                {ELOOP, NF_IO_ERROR},        {EPERM, NF_IO_ERROR},         {EOVERFLOW, NF_IO_ERROR}};
    for (Helper helper : kHelpers) {
        for (const auto &row : rows) {
            faults::Scope scope;
            faults::statvfsRecord = figures(4096, 4096, 2000, 1000, 900);
            faults::fail(faults::STATVFS, row.err);
            CapturedLog log;
            const Measured m = measure(helper);
            EXPECT_EQ(0, m.bytes) << row.err;
            EXPECT_EQ(row.code, m.error) << row.err;
            EXPECT_EQ(row.err, m.err);
            EXPECT_NE(std::string::npos,
                      log.text().find("Statvfs failed.  errno: [" + std::to_string(row.err) + "].\n"));
            EXPECT_EQ(1, faults::calls(faults::STATVFS));
        }
    }
}

TEST(SpaceHelpers, NullPathMakesNoCallAndClearsTheOutParametersNullOnesAreLeftAlone) {
    faults::Scope scope;
    for (Helper helper : kHelpers) {
        const Measured m = measure(helper, nullptr);
        EXPECT_EQ(0, m.bytes);
        EXPECT_EQ(0, m.error);
        EXPECT_EQ(0, m.err);
    }
    EXPECT_EQ(0, faults::calls(faults::STATVFS));
    faults::euid = 1000;
    faults::statvfsRecord = figures(4096, 4096, 2000, 1000, 900);
    EXPECT_EQ(3686400, UnixNativeFile_getFreeSpace("/p", nullptr, nullptr));
    EXPECT_EQ(8192000, UnixNativeFile_getFileSystemSize("/p", nullptr, nullptr));
    faults::fail(faults::STATVFS, EACCES, 2);
    EXPECT_EQ(0, UnixNativeFile_getFreeSpace("/p", nullptr, nullptr));
    int error = -1;
    EXPECT_EQ(0, UnixNativeFile_getFileSystemSize("/p", &error, nullptr));
    EXPECT_EQ(NF_ACCESS_DENIED, error);
}

// The superuser counts free blocks, anyone else the available ones; a zero
// fragment size falls back to the block size (and says so) unless there is
// nothing to count.
TEST(SpaceHelpers, FiguresGiveTheBytesOfEachAuthority) {
    const struct {
        struct statvfs record;
        uid_t euid;
        long long free, size;
        bool freeFallback, sizeFallback;
    } rows[] = {
        {figures(4096, 1024, 2000, 1000, 900), 1000, 3686400, 8192000, false, false},
        {figures(4096, 1024, 2000, 1000, 900), 0, 4096000, 8192000, false, false},
        {figures(0, 8192, 2000, 1000, 900), 1000, 900LL * 8192, 2000LL * 8192, true, true},
        {figures(0, 8192, 0, 0, 0), 1000, 0, 0, false, true},
        {figures(0, 8192, 2000, 0, 0), 0, 0, 2000LL * 8192, false, true},
        {figures(4096, 4096, 2000, 0, 5), 0, 5 * 4096, 8192000, false, false},
        {figures(4096, 4096, 3000000, 3000000, 3000000), 0, 12288000000LL, 12288000000LL, false, false},
        {figures(4096, 4096, 3000000, 3000000, 3000000), 1000, 12288000000LL, 12288000000LL, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "blocks " << row.record.f_blocks << " euid " << row.euid);
        faults::Scope scope;
        faults::statvfsRecord = row.record;
        faults::euid = row.euid;
        for (Helper helper : kHelpers) {
            const bool free = helper == UnixNativeFile_getFreeSpace;
            CapturedLog log;
            const Measured m = measure(helper);
            EXPECT_EQ(free ? row.free : row.size, m.bytes);
            EXPECT_EQ(0, m.error);
            EXPECT_EQ(free ? row.freeFallback : row.sizeFallback,
                      log.text().find("Couldn't use frsize, having to resort to bsize.\n") != std::string::npos);
        }
    }
}

TEST(SpaceHelpers, FiguresAndAuthorityAreLoggedTheUserLineWithoutLineEnd) {
    faults::Scope scope;
    faults::statvfsRecord = figures(4096, 1024, 2000, 1000, 900);
    CapturedLog log;
    faults::euid = 1000;
    UnixNativeFile_getFreeSpace("/data", nullptr, nullptr);
    faults::euid = 0;
    UnixNativeFile_getFreeSpace("/data", nullptr, nullptr);
    UnixNativeFile_getFileSystemSize("/data", nullptr, nullptr);
    const std::string out = log.text();
    expectInOrder(out, {
        "For filesystem containing [/data], f_bfree: [1000], f_bavail: [900], f_frsize: [4096], f_bsize: [1024]\n",
        "Current process is running under standard user authority.Time: [0x",
        "Current process is running under superuser authority.\n",
        "For filesystem containing [/data], f_blocks: [2000], f_frsize: [4096], f_bsize: [1024]\n",
    });
    EXPECT_EQ(std::string::npos, out.find("Couldn't use frsize"));
    EXPECT_NE(std::string::npos, out.find("> entering: [UnixNativeFile_getFreeSpace]\n"));
    EXPECT_NE(std::string::npos, out.find("< exiting: [UnixNativeFile_getFileSystemSize]\n"));
}

using Method = jlong (*)(JNIEnv *, jclass, jstring);
constexpr Method kMethods[] = {Java_com_zel_io_file_UnixNativeFile_getFreeSpace,
                               Java_com_zel_io_file_UnixNativeFile_getFileSystemSize};

TEST(SpaceMethods, EachErrorCodeRaisesItsExceptionWithTheErrno) {
    constexpr char kUnexpected[] =
        "An unexpected OS error occurred while performing the operation.  Please refer to the system "
        "errno table for specifics. : ";
    const struct {
        int err;
        const char *cls;
        std::string message;
    } rows[] = {
        {ENOENT, "com/zel/io/file/exception/FileNotFoundException",
         "[ERRNO: 002] MSG: The path does not exist on the system or the path was too long. : The file "
         "referenced by this object does not appear to reside on disk."},
        {ENOTDIR, "com/zel/io/file/exception/FileNotFoundException", "[ERRNO: 020] MSG: The path does not"},
        {ENAMETOOLONG, "com/zel/io/file/exception/FileNotFoundException", "[ERRNO: 036] MSG: The path does not"},
        {EACCES, "com/zel/io/file/exception/AccessDeniedException",
         "[ERRNO: 013] MSG: Could not access denoted path for space determination.  Permission denied. : "
         "The current user does not have sufficient authority to perform the requested operation."},
        {ENOSYS, "com/zel/io/file/exception/ExtendedIOException",
         "[ERRNO: 038] MSG: " + std::string(kUnexpected) + kIoText},
        {EIO, "com/zel/io/file/exception/ExtendedIOException",
         "[ERRNO: 005] MSG: " + std::string(kUnexpected) + kIoText},
    };
    for (Method method : kMethods) {
        for (const auto &row : rows) {
            faults::Scope scope;
            faults::fail(faults::STATVFS, row.err);
            FakeJni jni;
            EXPECT_EQ(0, method(jni.env(), nullptr, jni.string("/p")));
            ASSERT_EQ(1u, jni.thrown.size()) << row.err;
            EXPECT_EQ(row.cls, jni.thrown[0].className);
            EXPECT_EQ(0u, jni.thrown[0].message.find(row.message)) << jni.thrown[0].message;
            EXPECT_EQ(0, jni.jniCallsWhilePending);
            EXPECT_EQ(0, jni.charsHeld);
        }
    }
}

TEST(SpaceMethods, NullPathIsTheGeneralErrorWithErrnoZero) {
    for (Method method : kMethods) {
        faults::Scope scope;
        FakeJni jni;
        EXPECT_EQ(0, method(jni.env(), nullptr, nullptr));
        ASSERT_EQ(1u, jni.thrown.size());
        EXPECT_EQ("com/zel/io/file/exception/ExtendedIOException", jni.thrown[0].className);
        EXPECT_EQ("[ERRNO: 000] MSG: filename passed in was NULL. : " + std::string(kIoText),
                  jni.thrown[0].message);
        EXPECT_EQ(0, faults::calls(faults::STATVFS));
    }
}

TEST(SpaceMethods, ReturnTheHelpersFigureAndLogTheQuery) {
    faults::Scope scope;
    faults::euid = 1000;
    faults::statvfsRecord = figures(4096, 4096, 2000, 1000, 900);
    FakeJni jni;
    CapturedLog log;
    EXPECT_EQ(3686400, Java_com_zel_io_file_UnixNativeFile_getFreeSpace(jni.env(), nullptr, jni.string("/a b")));
    EXPECT_EQ(8192000,
              Java_com_zel_io_file_UnixNativeFile_getFileSystemSize(jni.env(), nullptr, jni.string("/a b")));
    const std::string out = log.text();
    EXPECT_TRUE(jni.thrown.empty());
    expectInOrder(out, {
        "> entering: [Java_com_zel_io_file_UnixNativeFile_getFreeSpace]\n",
        "Free disk space query being made using base file path: [/a b]\n",
        "> entering: [UnixNativeFile_getFreeSpace]\n",
        "< exiting: [Java_com_zel_io_file_UnixNativeFile_getFreeSpace]\n",
        "> entering: [Java_com_zel_io_file_UnixNativeFile_getFileSystemSize]\n",
        "Total disk space query being made using base file path: [/a b]\n",
        "< exiting: [UnixNativeFile_getFileSystemSize]\n",
        "< exiting: [Java_com_zel_io_file_UnixNativeFile_getFileSystemSize]\n",
    });
}

// ---------------------------------------------------------------- mount table

// A mount table file in the kernel's format, read in place of the real one.
class MountTable : public testing::Test {
protected:
    void use(const std::string &text) {
        std::ofstream(dir_ / "mounts") << text;
        faults::mountTable = dir_ / "mounts";
    }

    // One line per mount point, /mnt/0 up to /mnt/count-1.
    void useNumbered(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "tmpfs /mnt/" + std::to_string(i) + " tmpfs rw 0 0\n";
        use(text);
    }

    // The texts of a list up to its terminator.
    static std::vector<std::string> texts(char **list) {
        std::vector<std::string> result;
        for (char **slot = list; slot != nullptr && *slot != nullptr; ++slot) result.emplace_back(*slot);
        return result;
    }

    faults::Scope scope_;
    TempDir dir_;
};

const char kTable[] =
    "sysfs /sys sysfs rw,nosuid 0 0\n"
    "tmpfs /mnt/with\\040space tmpfs rw,size=1024k 0 0\n"
    "tmpfs /mnt/twice tmpfs rw 0 0\n"
    "/dev/sda1 / ext4 rw,relatime 0 0\n"
    "tmpfs /mnt/twice tmpfs ro 0 0\n"
    "tmpfs /mnt/tab\\011and\\134back tmpfs rw 0 0\n";
const std::vector<std::string> kPoints{"/sys",       "/mnt/with space", "/mnt/twice",
                                       "/",          "/mnt/twice",      "/mnt/tab\tand\\back"};

TEST_F(MountTable, ListHoldsEachMountPointInTableOrderDuplicatesKept) {
    use(kTable);
    int error = -1;
    char **list = UnixNativeFile_getMountList(&error);
    EXPECT_EQ(0, error);
    EXPECT_EQ(kPoints, texts(list));
    UnixNativeFile_freeMountList(list);
    list = UnixNativeFile_getMountList(nullptr);
    EXPECT_EQ(kPoints, texts(list));
    UnixNativeFile_freeMountList(list);
}

TEST_F(MountTable, EmptyOrUnopenableTableGivesNoListAndNoError) {
    use("");
    int error = -1;
    EXPECT_EQ(nullptr, UnixNativeFile_getMountList(&error));
    EXPECT_EQ(0, error);

    use(kTable);
    faults::fail(faults::SETMNTENT, ENOENT);
    error = -1;
    EXPECT_EQ(nullptr, UnixNativeFile_getMountList(&error));
    EXPECT_EQ(0, error);
    UnixNativeFile_freeMountList(nullptr);

    // The method hands back null, and raises nothing, for either.
    FakeJni jni;
    faults::fail(faults::SETMNTENT, ENOENT);
    EXPECT_EQ(nullptr, Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems(jni.env(), nullptr));
    use("");
    EXPECT_EQ(nullptr, Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems(jni.env(), nullptr));
    EXPECT_TRUE(jni.thrown.empty());
    EXPECT_TRUE(jni.arrays.empty());
    EXPECT_EQ(0, jni.pendingException);
}

// The log's own lines allocate their thread-id text; counts of the list's
// allocations start after the entry line's.
int allocationsPerLogLine() {
    const int before = faults::calls(faults::CALLOC);
    NativeFile_log_entry("count");
    return faults::calls(faults::CALLOC) - before;
}

TEST_F(MountTable, AllocationFailureKeepsTheCompleteListStoredBeforeIt) {
    constexpr char kArrayLine[] = "Failed to allocate memory for a resized mount list array.\n";
    constexpr char kTextLine[] = "Failed to allocate memory for a new string for the mount list.\n";
    useNumbered(5);
    const struct {
        int failing;  // allocation of the walk that fails, from 0: entry n's array is 2n, its text 2n+1
        std::vector<std::string> kept;
        const char *line;
    } rows[] = {
        {0, {}, kArrayLine},
        {1, {}, kTextLine},
        {6, {"/mnt/0", "/mnt/1", "/mnt/2"}, kArrayLine},
        {7, {"/mnt/0", "/mnt/1", "/mnt/2"}, kTextLine},
    };
    for (const auto &row : rows) {
        CapturedLog log;
        const int lead = allocationsPerLogLine();
        faults::fail(faults::CALLOC, ENOMEM, 1, lead + row.failing);
        int error = -1;
        char **list = UnixNativeFile_getMountList(&error);
        EXPECT_EQ(NF_OUT_OF_MEMORY, error) << row.failing;
        EXPECT_EQ(row.kept, texts(list)) << row.failing;
        if (row.line == kArrayLine && row.kept.empty()) {
            EXPECT_EQ(nullptr, list);
        }
        // A failed text leaves the new array: stored texts, then two null slots.
        if (row.line == kTextLine) {
            ASSERT_NE(nullptr, list);
            EXPECT_EQ(nullptr, list[row.kept.size() + 1]);
        }
        UnixNativeFile_freeMountList(list);
        EXPECT_NE(std::string::npos, log.text().find(row.line)) << row.failing;
    }
    CapturedLog log;
    faults::fail(faults::CALLOC, ENOMEM, 1, allocationsPerLogLine() + 2);
    char **list = UnixNativeFile_getMountList(nullptr);
    EXPECT_EQ(std::vector<std::string>{"/mnt/0"}, texts(list));
    UnixNativeFile_freeMountList(list);
}

jobjectArray mountedFileSystems(FakeJni &jni) {
    return Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems(jni.env(), nullptr);
}

TEST_F(MountTable, MethodReturnsTheMountPointsAsJavaStrings) {
    use(kTable);
    FakeJni jni;
    CapturedLog log;
    ASSERT_NE(nullptr, mountedFileSystems(jni));
    EXPECT_TRUE(jni.thrown.empty());
    ASSERT_EQ(1u, jni.arrays.size());
    EXPECT_EQ(kPoints, jni.arrays[0]);
    EXPECT_EQ(std::vector<std::string>{"java/lang/String"}, jni.foundClasses);
    expectInOrder(log.text(), {
        "> entering: [Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems]\n",
        "> entering: [UnixNativeFile_getMountList]\n",
        "< exiting: [UnixNativeFile_getMountList]\n",
        "Processing [6] native strings for return to Java.\n",
        "> entering: [UnixNativeFile_freeMountList]\n",
        "< exiting: [Java_com_zel_io_file_UnixNativeFile_getMountedFileSystems]\n",
    });
}

TEST_F(MountTable, MountPointsAreConvertedFromTheLocaleCodePageElseGivenAsTheyStand) {
    use("tmpfs /mnt/caf\xE9 tmpfs rw 0 0\n");
    faults::codeSet = "ISO-8859-1";
    FakeJni jni;
    ASSERT_NE(nullptr, mountedFileSystems(jni));
    EXPECT_EQ(std::vector<std::string>{"/mnt/caf\xC3\xA9"}, jni.arrays.at(0));

    faults::fail(faults::ICONV, EILSEQ);
    FakeJni unconverted;
    ASSERT_NE(nullptr, mountedFileSystems(unconverted));
    // The byte that is no UTF-8 comes through as its escape U+DCE9.
    EXPECT_EQ(std::vector<std::string>{"/mnt/caf\xED\xB3\xA9"}, unconverted.arrays.at(0));
}

TEST_F(MountTable, AllocationFailureIsTheQueryProblemWithErrnoZero) {
    useNumbered(5);
    for (int failing : {0, 7}) {
        FakeJni jni;
        CapturedLog log;
        faults::fail(faults::CALLOC, ENOMEM, 1, allocationsPerLogLine() * 2 + failing);
        EXPECT_EQ(nullptr, mountedFileSystems(jni));
        ASSERT_EQ(1u, jni.thrown.size());
        EXPECT_EQ("com/zel/io/file/exception/ExtendedIOException", jni.thrown[0].className);
        EXPECT_EQ("[ERRNO: 000] MSG: There was a problem with querying the OS for mount entries.  A list "
                  "could not be determined.  IO error. : " +
                      std::string(kIoText),
                  jni.thrown[0].message);
        EXPECT_TRUE(jni.arrays.empty());
        EXPECT_EQ(0, jni.jniCallsWhilePending);
        EXPECT_NE(std::string::npos, log.text().find("> entering: [UnixNativeFile_freeMountList]\n"));
    }
}

TEST_F(MountTable, JvmFailuresReturnNullWithTheirExceptionPendingAndStoreNothing) {
    useNumbered(4);
    FakeJni noClass;
    noClass.missingClasses = {"java/lang/String"};
    FakeJni noArray;
    noArray.failNewArray = true;
    FakeJni noString;
    noString.failNewString = true;
    FakeJni thirdElement;
    thirdElement.newStringsLeft = 3;  // the array's empty initial value, then two elements
    for (FakeJni *jni : {&noClass, &noArray, &noString, &thirdElement}) {
        EXPECT_EQ(nullptr, mountedFileSystems(*jni));
        EXPECT_TRUE(jni->thrown.empty());
        EXPECT_EQ(1, jni->pendingException);
        EXPECT_EQ(0, jni->jniCallsWhilePending);
    }
    EXPECT_TRUE(noClass.arrays.empty());
    EXPECT_TRUE(noArray.arrays.empty());
    EXPECT_TRUE(noString.arrays.empty());
    ASSERT_EQ(1u, thirdElement.arrays.size());
    EXPECT_EQ((std::vector<std::string>{"/mnt/0", "/mnt/1", "", ""}), thirdElement.arrays[0]);
}

TEST_F(MountTable, ThousandsOfEntriesHoldOnlyAFewLocalReferences) {
    constexpr int kCount = 5000;
    useNumbered(kCount);
    FakeJni jni;
    ASSERT_NE(nullptr, mountedFileSystems(jni));
    ASSERT_EQ(1u, jni.arrays.size());
    ASSERT_EQ(static_cast<std::size_t>(kCount), jni.arrays[0].size());
    EXPECT_EQ("/mnt/0", jni.arrays[0].front());
    EXPECT_EQ("/mnt/" + std::to_string(kCount - 1), jni.arrays[0].back());
    EXPECT_LE(jni.maxLocalRefs, 4);
    EXPECT_EQ(1, jni.localRefs);  // the array handed back
}

}  // namespace
