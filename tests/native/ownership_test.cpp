// Owner and group: the retries, the classification of lchown, the lookups
// and their failures, the digit-string rule and the log, for both families.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "com_zel_io_file_UnixNativeFile.h"
#include "fake_jni.h"
#include "test_support.h"

namespace {

constexpr char kDenied[] = "Could not change ownership of file.  Permission denied.";
constexpr char kNotFound[] = "File does not exist on system or the file name was too long.";
constexpr char kUnknown[] = "Unknown system error occured.";
constexpr char kAccess[] = "com/zel/io/file/exception/AccessDeniedException";
constexpr char kMissing[] = "com/zel/io/file/exception/FileNotFoundException";
constexpr char kGeneral[] = "com/zel/io/file/exception/ExtendedIOException";
constexpr std::size_t kFirstBuffer = 16768;

struct Family {
    const char *label;
    jstring (*get)(JNIEnv *, jclass, jstring);
    void (*set)(JNIEnv *, jclass, jstring, jstring);
    faults::Call byName, byId;
    const char *invalidClass;
    const char *noNameDetail;
    const char *overflowDetail;
    const char *alterLog;   // with the path and the string, as printf arguments
    const char *assignLog;  // with the path and the id
    bool owner;
};

const Family kOwner{
    "owner",
    Java_com_zel_io_file_UnixNativeFile_getFileOwner,
    Java_com_zel_io_file_UnixNativeFile_setFileOwner,
    faults::GETPWNAM_R,
    faults::GETPWUID_R,
    "com/zel/io/file/exception/InvalidUserException",
    "The username passed down does not appear to exist on the system.  Cannot re-assign.",
    "Problems retrieving UID information.  The string was an invalid UID, and it couldn't be "
    "mapped to a username either.",
    "Altering file ownership for file: [%s] to user: [%s]\n",
    "Assigning file: [%s] owner to be UID: [%d]\n",
    true,
};

const char kGroupInvalid[] =
    "Problems retrieving GID information.  The string was an invalid GID, and it couldn't be "
    "mapped to a groupname, either.";

const Family kGroup{
    "group",
    Java_com_zel_io_file_UnixNativeFile_getFileGroup,
    Java_com_zel_io_file_UnixNativeFile_setFileGroup,
    faults::GETGRNAM_R,
    faults::GETGRGID_R,
    "com/zel/io/file/exception/InvalidGroupException",
    kGroupInvalid,
    kGroupInvalid,
    "Altering file ownership for file: [%s] to group: [%s]\n",
    "Assigning file: [%s] group to be GID: [%d]\n",
    false,
};

void PrintTo(const Family &family, std::ostream *out) { *out << family.label; }

template <class Value>
std::string format(const char *pattern, const std::string &path, Value value) {
    char line[2048];
    std::snprintf(line, sizeof line, pattern, path.c_str(), value);
    return line;
}

// A file of the test's own; its owner and group are ids the caller may
// always hand to lchown, privileged or not, and the database names them.
class Ownership : public testing::TestWithParam<Family> {
protected:
    void SetUp() override {
        std::ofstream(file_) << "x";
        struct stat record {};
        ASSERT_EQ(0, ::stat(file_.c_str(), &record));
        uid_ = record.st_uid;
        gid_ = record.st_gid;
        const char *name = nullptr;
        if (family().owner) {
            if (const passwd *entry = getpwuid(uid_)) name = entry->pw_name;
        } else if (const group *entry = getgrgid(gid_)) {
            name = entry->gr_name;
        }
        if (name == nullptr) GTEST_SKIP() << "the database does not name the test file's ids";
        name_ = name;
        faults::reset();
    }

    const Family &family() const { return GetParam(); }
    unsigned id() const { return family().owner ? uid_ : gid_; }

    // The result of the query as text, "<null>" for none.
    std::string get(const std::string &path) {
        jstring result = family().get(jni_.env(), nullptr, jni_.string(path));
        return result == nullptr ? "<null>" : FakeJni::text(result);
    }

    void set(const std::string &path, const std::string &who) {
        family().set(jni_.env(), nullptr, jni_.string(path), jni_.string(who));
    }

    // Exactly one exception, of that class, with that errno and detail.
    void expectThrown(const std::string &className, int err, const std::string &detail) {
        ASSERT_EQ(1u, jni_.thrown.size());
        EXPECT_EQ(className, jni_.thrown[0].className);
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "[ERRNO: %.3d] MSG: ", err);
        EXPECT_EQ(0u, jni_.thrown[0].message.find(prefix + detail + " : ")) << jni_.thrown[0].message;
        EXPECT_EQ(0, jni_.jniCallsWhilePending);
        jni_.thrown.clear();
        jni_.pendingException = 0;
    }

    // The id that the change handed to lchown, and the one it kept.
    std::pair<unsigned, unsigned> lchownIds() const {
        if (faults::lchownIds.size() != 1) return {~0u, ~0u};
        const auto [owner, group] = faults::lchownIds[0];
        return family().owner ? std::pair{owner, group} : std::pair{group, owner};
    }
    unsigned keptId() const { return family().owner ? gid_ : uid_; }

    faults::Scope scope_;
    TempDir dir_;
    std::string file_ = dir_ / "file";
    FakeJni jni_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::string name_;
};

TEST_P(Ownership, LstatAndLchownAreRetriedOnEintr) {
    faults::fail(faults::LSTAT, EINTR, 3);
    faults::fail(faults::LCHOWN, EINTR, 3);
    set(file_, name_);
    EXPECT_TRUE(jni_.thrown.empty());
    EXPECT_EQ(4, faults::calls(faults::LSTAT));
    EXPECT_EQ(4, faults::calls(faults::LCHOWN));

    faults::reset();
    faults::fail(faults::LSTAT, EINTR, 2);
    EXPECT_EQ(name_, get(file_));
    EXPECT_EQ(3, faults::calls(faults::LSTAT));
}

TEST_P(Ownership, EachLchownErrorHasItsRow) {
    const struct {
        int err;
        const char *className;
        const char *detail;
    } rows[] = {
        {EACCES, kAccess, kDenied},        {EPERM, kAccess, kDenied},
        {EROFS, kAccess, kDenied},         {ENOENT, kMissing, kNotFound},
        {ENOTDIR, kMissing, kNotFound},    {ENAMETOOLONG, kMissing, kNotFound},
        {EINVAL, kGeneral, kUnknown},      {EIO, kGeneral, kUnknown},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.err);
        faults::fail(faults::LCHOWN, row.err);
        set(file_, std::to_string(id()));
        expectThrown(row.className, row.err, row.detail);
    }
}

// A string of digits up to 2147483647 is an id, used without a lookup; the
// refused lchown shows the id it was read as. Anything else is a name.
TEST_P(Ownership, OnlyDigitStringsInRangeAreIds) {
    const struct {
        const char *text;
        unsigned id;
    } ids[] = {{"", 0}, {"010", 10}, {"123", 123}, {"54321", 54321}, {"2147483647", 2147483647}};
    for (const auto &row : ids) {
        SCOPED_TRACE(row.text);
        faults::reset();
        faults::fail(faults::LCHOWN, EPERM);
        set(file_, row.text);
        expectThrown(kAccess, EPERM, kDenied);
        EXPECT_EQ(std::pair(row.id, keptId()), lchownIds());
        EXPECT_TRUE(faults::lookupSizes.empty());
    }
    const struct {
        const char *text;
        const char *detail;
    } names[] = {
        {"2147483648", family().overflowDetail},
        {"99999999999999999999999", family().overflowDetail},
        {"-1", family().noNameDetail},
        {"+5", family().noNameDetail},
        {" 5", family().noNameDetail},
        {"5\xc2\xb2", family().noNameDetail},
    };
    for (const auto &row : names) {
        SCOPED_TRACE(row.text);
        faults::reset();
        set(file_, row.text);
        expectThrown(family().invalidClass, 0, row.detail);
        EXPECT_EQ(1, faults::calls(family().byName));
        EXPECT_EQ(0, faults::calls(faults::LCHOWN));
    }
}

TEST_P(Ownership, LookupErrorsCountAsNoEntry) {
    faults::fail(family().byId, EIO);
    EXPECT_EQ(std::to_string(id()), get(file_));
    EXPECT_TRUE(jni_.thrown.empty());

    faults::fail(family().byName, EIO);
    set(file_, name_);
    expectThrown(family().invalidClass, 0, family().noNameDetail);

    faults::fail(family().byName, EIO);
    set(file_, "2147483648");
    expectThrown(family().invalidClass, 0, family().overflowDetail);
    EXPECT_EQ(0, faults::calls(faults::LCHOWN));
}

TEST_P(Ownership, LookupsShortOfRoomAreRetriedInDoubledBuffers) {
    faults::fail(family().byName, ERANGE, 3);
    set(file_, name_);
    EXPECT_TRUE(jni_.thrown.empty());
    EXPECT_EQ(std::pair(id(), keptId()), lchownIds());
    const std::vector<std::size_t> sizes{kFirstBuffer, 2 * kFirstBuffer, 4 * kFirstBuffer,
                                         8 * kFirstBuffer};
    EXPECT_EQ(sizes, faults::lookupSizes);

    faults::reset();
    faults::fail(family().byId, ERANGE, 3);
    EXPECT_EQ(name_, get(file_));
    EXPECT_EQ(sizes, faults::lookupSizes);
}

TEST_P(Ownership, GrowthEndsAtTheLimitOrWhenMemoryRunsOut) {
    faults::fail(family().byId, ERANGE, 1000);
    EXPECT_EQ(std::to_string(id()), get(file_));
    ASSERT_EQ(11u, faults::lookupSizes.size());
    EXPECT_EQ(kFirstBuffer << 10, faults::lookupSizes.back());
    EXPECT_GE(faults::lookupSizes.back(), 16u << 20);

    faults::reset();
    faults::fail(family().byName, ERANGE, 1000);
    set(file_, name_);
    expectThrown(family().invalidClass, 0, family().noNameDetail);

    faults::reset();
    faults::fail(family().byId, ERANGE);
    faults::fail(faults::MALLOC, ENOMEM, 1000);
    const std::string result = get(file_);
    faults::reset();
    EXPECT_EQ(std::to_string(id()), result);
    EXPECT_TRUE(jni_.thrown.empty());
}

TEST_P(Ownership, LogsTheRequestThenTheIdAssigned) {
    CapturedLog log;
    set(file_, name_);
    set(dir_ / "missing", name_);
    const std::string out = log.text();
    const std::string alter = format(family().alterLog, file_, name_.c_str());
    const std::string assign = format(family().assignLog, file_, static_cast<int>(id()));
    const std::size_t at = out.find(alter);
    EXPECT_NE(std::string::npos, at) << out;
    EXPECT_NE(std::string::npos, out.find(assign, at)) << out;
    EXPECT_EQ(std::string::npos, out.find("STATing file")) << out;
    EXPECT_NE(std::string::npos, out.find(format(family().alterLog, dir_ / "missing", name_.c_str())));
    EXPECT_EQ(std::string::npos, out.find(format(family().assignLog, dir_ / "missing", static_cast<int>(id()))));
    expectThrown(kMissing, ENOENT, kNotFound);
}

INSTANTIATE_TEST_SUITE_P(Families, Ownership, testing::Values(kOwner, kGroup),
                         [](const testing::TestParamInfo<Family> &info) { return info.param.label; });

}  // namespace
