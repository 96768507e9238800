// The frame every native method runs in (class Call): entry and exit trace,
// the null test and conversion of its string arguments, system calls retried
// on EINTR, and classification of a failure's errno by a table of rows into
// exactly one Java exception. A method states only its own name, calls and
// rows. Changes go through one examined file (class Examined), so that the
// file changed is the file that was examined.
#ifndef NATIVEFILE_FRAME_H
#define NATIVEFILE_FRAME_H

#include "NativeFile.h"
#include "NativeFile_helper.h"
#include "UnixNativeFile_strutil.h"

#include <array>
#include <cerrno>
#include <initializer_list>
#include <new>
#include <span>
#include <sys/stat.h>
#include <utility>
#include <vector>

// Declares the native method `method` of class com.zel.io.file.`cls`, with
// env and the parameters after the class.
#define NF_NATIVE(cls, result, method, ...)                                                     \
    extern "C" NF_EXPORT result JNICALL Java_com_zel_io_file_##cls##_##method(                 \
        JNIEnv *env, jclass __VA_OPT__(, ) __VA_ARGS__)

namespace nf {

using NativePath = std::array<char, NF_PATH_LEN>;

inline constexpr char kNullPath[] = "filename passed in was NULL.";
inline constexpr char kQueryDenied[] = "Could not query file for information.  Permission denied.";
inline constexpr char kNotFound[] = "File does not exist on system or the file name was too long.";
inline constexpr char kUnknown[] = "Unknown system error occured.";

// Row kind for an errno that counts as success.
inline constexpr int kDone = 0;

// One row of a classification table: the errnos it matches (unused slots 0),
// the error kind and the detail text. Every table ends in a row without
// errnos, which takes every value no other row lists.
struct ErrorRow {
    std::array<int, 3> errnos;
    int kind;
    const char *detail;
};
using Rows = std::span<const ErrorRow>;

const ErrorRow &classify(Rows rows, int err);

inline constexpr ErrorRow kQueryRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, kQueryDenied},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, kUnknown},
};

inline constexpr ErrorRow kChmodRows[] = {
    {{EACCES}, NF_ACCESS_DENIED, "Could not access file for permissions change.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, kUnknown},
};

inline constexpr ErrorRow kChownRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not change ownership of file.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, kNotFound},
    {{}, NF_IO_ERROR, kUnknown},
};

// The one retry idiom: a call that reports EINTR is made again. Calls that
// are deliberately not retried say why where they are made.
template <class Syscall>
auto retryOnEintr(Syscall call) {
    decltype(call()) rc;
    do rc = call();
    while (rc == -1 && errno == EINTR);
    return rc;
}

// The bits a mode change may set: permissions, set-user-ID, set-group-ID
// and sticky.
inline constexpr mode_t ALL_CHMOD_MASK = 0x0fff;

inline bool isLink(mode_t mode) { return NativeFile_isFlagSet(static_cast<int>(mode), S_IFLNK) != 0; }

// A descriptor a call holds, closed when the call ends.
class Opened {
public:
    Opened() = default;
    ~Opened();
    Opened(const Opened &) = delete;
    Opened &operator=(const Opened &) = delete;

    int fd() const { return fd_; }

private:
    friend class Call;
    int fd_ = -1;
};

// A path held open with O_PATH, never through a final link, and what fstat
// saw of it: the one file a change examines and then changes.
class Examined : public Opened {
public:
    const struct stat &record() const { return record_; }

private:
    friend class Call;
    struct stat record_ {};
};

// One native method's call, from its entry line to its exit line.
class Call {
public:
    Call(JNIEnv *env, const char *name) : env_(env), name_(name) { NativeFile_log_entry(name_); }
    ~Call() { NativeFile_log_exit(name_); }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    JNIEnv *env() const { return env_; }

    void fail(int kind, const char *detail, int err) { NativeFile_ThrowException(env_, kind, detail, err); }

    // Raises the error for a null argument; false when there is one.
    bool nullTest(std::initializer_list<jobject> args, const char *detail);

    // A Java string as native bytes: 0, or the errno with which the system
    // would refuse it (the text is then never used).
    int text(jstring string, NativePath &out) { return javaToNativePath(env_, string, out.data(), out.size()); }

    // Null test, then conversion of every argument, in that order. A text
    // that can name no file fails as the method's first system call would,
    // by its rows. False when the method must end: an exception is pending.
    bool convert(std::initializer_list<std::pair<jstring, NativePath *>> args, const char *nullDetail,
                 Rows rows);
    bool convert(jstring string, NativePath &out, Rows rows) { return convert({{string, &out}}, kNullPath, rows); }

    // Null test, then conversion of a text that names no file and may be of
    // any length (an ACL's, a capability set's) by javaToNativeText's rules.
    // False when the method must end: an exception is pending.
    bool convertText(jstring string, std::vector<char> &out, const char *nullDetail);

    // Judges a system call's result; a failure's errno picks a row, which
    // throws unless it counts as done. True when the method may go on.
    bool check(int rc, Rows rows);

    // The query stage most methods open with: conversion, then lstat.
    bool stat(jstring path, NativePath &native, struct stat &record);

    // The stage every change opens with: the path, converted, opened with
    // O_PATH and examined through the descriptor. Its errors are the query
    // stage's.
    bool examine(const NativePath &native, Examined &file);
    bool examine(jstring path, NativePath &native, Examined &file) {
        return convert(path, native, kQueryRows) && examine(native, file);
    }

    // The examined file opened for reading, for the calls that take no O_PATH
    // descriptor (ioctl, the xattr calls), by its path again, without
    // following a link and without blocking; it must be the same inode, else
    // the path no longer names the examined file (ENOENT). Only a regular
    // file or a directory is opened: anything else, a link (also one swapped
    // in since) or a device whose open could act, fails with EOPNOTSUPP.
    // Failures go by rows.
    bool reopen(const Examined &file, const NativePath &native, Opened &out, Rows rows);

    // The changes, made through the examined file's descriptor. A link
    // cannot take a mode: changeMode leaves one alone.
    bool changeMode(const Examined &file, const NativePath &native, mode_t mode);
    bool changeOwner(const Examined &file, uid_t owner, gid_t group);

    jstring javaString(const char *text) { return nativeToJava(env_, text); }

    // Runs a step that allocates: running out of memory raises
    // OutOfMemoryError with the detail instead of ending the JVM, and gives
    // an empty result.
    template <class Step>
    auto allocating(const char *detail, Step step) -> decltype(step()) {
        try {
            return step();
        } catch (const std::bad_alloc &) {
            fail(NF_OUT_OF_MEMORY, detail, ENOMEM);
            return {};
        }
    }

    // A String[] of native texts. Each element's local reference is dropped
    // once stored, so that thousands of texts cannot exhaust the JVM's local
    // references. Null with the JVM's error pending when it cannot be made.
    jobjectArray javaStrings(const char *const *texts, std::size_t count);

private:
    JNIEnv *env_;
    const char *name_;
};

// What a call that lists many things hands back in two Java objects, not
// one String each: numbers as a long[], and every text, whole, in one run
// of UTF-16 units that becomes one String, where the numbers say each text
// ends. Appending may throw std::bad_alloc (run it in Call::allocating).
class Packed {
public:
    std::vector<jlong> numbers;

    // Appends a native text of length bytes, followed by its NUL, by
    // nativeToJava's rules.
    void addText(const char *text, std::size_t length);
    // Where the texts appended so far end.
    jlong textEnd() const { return static_cast<jlong>(units_.size()); }
    void reserve(std::size_t numbers, std::size_t units);

    // The numbers as a long[], the texts into texts[0]; null when the JVM
    // cannot make them (its error is pending then).
    jlongArray toJava(JNIEnv *env, jobjectArray texts) const;

private:
    bool passThrough_ = isPassThrough(localeCodePage());
    std::vector<jchar> units_;
};

// The name that the user or group database lists for an id, looked up as
// getFileOwner and getFileGroup do; false, name untouched, when none does.
bool userNameOfId(Call &call, unsigned id, jstring &name);
bool groupNameOfId(Call &call, unsigned id, jstring &name);

}  // namespace nf

#endif
