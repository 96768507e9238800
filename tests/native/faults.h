// Fault injection for the native unit tests. The test binary is linked with
// --wrap for each call below, so the library's objects reach these wrappers;
// unarmed, each wrapper hands the call to the real function.
#ifndef FAULTS_H
#define FAULTS_H

#include <optional>
#include <string>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace faults {

enum Call {
    LSTAT,
    STATVFS,
    FCHMODAT2,  // the raw system call
    FCHMODAT,
    LCHOWN,
    SYMLINK,
    UNLINK,
    READLINK,
    MALLOC,
    CALLOC,
    GETPWNAM_R,
    GETGRNAM_R,
    GETPWUID_R,
    GETGRGID_R,
    SETMNTENT,
    ICONV_OPEN,
    ICONV,  // a reset (no input) is neither counted nor failed
    ICONV_CLOSE,
    CALL_COUNT
};

// The next `times` calls, after `skip` calls that go through, fail with err
// (set as errno, or returned by the lookups, which report that way).
void fail(Call call, int err, int times = 1, int skip = 0);
// Calls made since the last reset, failed ones included.
int calls(Call call);
// Disarms everything and forgets every count and value below.
void reset();

// Values that replace what the system would report.
extern std::optional<struct statvfs> statvfsRecord;
extern std::optional<uid_t> euid;
extern std::optional<pid_t> tid;
extern std::optional<std::string> mountTable;  // file read in place of the real table
extern std::optional<std::string> codeSet;     // what nl_langinfo(CODESET) reports

// What was observed: the buffer length of every user and group lookup, and
// the owner and group handed to every lchown.
extern std::vector<size_t> lookupSizes;
extern std::vector<std::pair<uid_t, gid_t>> lchownIds;

// Arms nothing and cleans up after each test.
struct Scope {
    Scope() { reset(); }
    ~Scope() { reset(); }
};

}  // namespace faults

#endif
