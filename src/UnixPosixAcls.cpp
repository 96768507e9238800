// The native methods of com.zel.io.file.PosixAcls: a file's access ACL and a
// directory's default ACL, read and changed with libacl, whose text parser,
// printer and checks are the ones getfacl and setfacl use.
#include "NativeFile_frame.h"
#include "com_zel_io_file_PosixAcls.h"

#include <acl/libacl.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <mutex>
#include <string>
#include <sys/acl.h>
#include <vector>

#define NATIVE(...) NF_NATIVE(PosixAcls, __VA_ARGS__)

namespace {

using nf::Call;
using nf::ErrorRow;
using nf::Examined;
using nf::NativePath;
using nf::retryOnEintr;

constexpr ErrorRow kAclRows[] = {
    {{EACCES, EPERM, EROFS}, NF_ACCESS_DENIED, "Could not access the ACL of the file.  Permission denied."},
    {{ENOENT, ENOTDIR, ENAMETOOLONG}, NF_FILE_NOT_FOUND, nf::kNotFound},
    {{EOPNOTSUPP, ENOTTY}, NF_NOT_SUPPORTED, "The file system keeps no such ACL for this file."},
    {{EINVAL}, NF_IO_ERROR, "The ACL is not valid: it needs one owner, group and other entry, a mask with named entries, no entry twice."},
    {{E2BIG, ENOSPC, ERANGE}, NF_IO_ERROR, "The ACL is over the system's limit."},
    {{ENOMEM}, NF_IO_ERROR, "Not enough memory for the ACL."},
    {{}, NF_IO_ERROR, nf::kUnknown},
};

constexpr char kNullArgument[] = "filename or ACL text passed in was NULL.";
constexpr char kNoMemory[] = "Not enough memory for the ACL.";

// What change0 does, as PosixAcls.Change numbers it.
enum Change { kSet, kModify, kRemove, kRemoveExtended, kRemoveDefault };

// libacl finds the ids of names, and the names of ids, with getpwnam and
// getpwuid, whose results live in one static buffer: one text conversion at
// a time, so that two threads never share it.
std::mutex textLock;

// An ACL the call holds, freed when the call ends.
class Acl {
public:
    Acl() = default;
    explicit Acl(acl_t acl) : acl_(acl) {}
    ~Acl() { reset(nullptr); }
    Acl(const Acl &) = delete;
    Acl &operator=(const Acl &) = delete;

    acl_t get() const { return acl_; }
    acl_t *ref() { return &acl_; }
    void reset(acl_t acl) {
        if (acl_ != nullptr) acl_free(acl_);
        acl_ = acl;
    }

private:
    acl_t acl_ = nullptr;
};

// Calls visit(entry) for each entry, in the ACL's order, until it returns false.
template <class Visit>
bool everyEntry(acl_t acl, Visit visit) {
    acl_entry_t entry;
    for (int id = ACL_FIRST_ENTRY; acl_get_entry(acl, id, &entry) == 1; id = ACL_NEXT_ENTRY)
        if (!visit(entry)) return false;
    return true;
}

acl_tag_t tagOf(acl_entry_t entry) {
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    acl_get_tag_type(entry, &tag);
    return tag;
}

bool isNamed(acl_tag_t tag) { return tag == ACL_USER || tag == ACL_GROUP; }

// Throws std::bad_alloc when libacl has no memory for the copy it hands out
// (run it in Call::allocating).
unsigned qualifierOf(acl_entry_t entry) {
    void *qualifier = acl_get_qualifier(entry);
    if (qualifier == nullptr) throw std::bad_alloc();
    const unsigned id = *static_cast<const unsigned *>(qualifier);
    acl_free(qualifier);
    return id;
}

bool sameKey(acl_entry_t a, acl_entry_t b) {
    const acl_tag_t tag = tagOf(a);
    return tag == tagOf(b) && (!isNamed(tag) || qualifierOf(a) == qualifierOf(b));
}

// The entry of acl with the key of wanted (tag, and id for a named one), or null.
acl_entry_t find(acl_t acl, acl_entry_t wanted) {
    acl_entry_t found = nullptr;
    everyEntry(acl, [&](acl_entry_t entry) { return sameKey(entry, wanted) ? (found = entry, false) : true; });
    return found;
}

bool hasMaskOrNamed(acl_t acl) {
    return !everyEntry(acl, [](acl_entry_t entry) { return !isNamed(tagOf(entry)) && tagOf(entry) != ACL_MASK; });
}

// java/lang/Object as a global reference, looked up once: FindClass costs
// more than the rest of a small ACL's JNI calls together. Null with the JVM's
// error pending when it cannot be had; a later call tries again.
jclass objectClass(Call &call) {
    static std::atomic<jclass> cached{nullptr};
    if (jclass known = cached.load(std::memory_order_acquire)) return known;
    JNIEnv *env = call.env();
    jclass local = env->FindClass("java/lang/Object");
    if (local == nullptr) return nullptr;
    auto global = static_cast<jclass>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
    if (global == nullptr) {
        call.fail(NF_OUT_OF_MEMORY, kNoMemory, ENOMEM);
        return nullptr;
    }
    jclass raced = nullptr;
    if (cached.compare_exchange_strong(raced, global, std::memory_order_acq_rel)) return global;
    env->DeleteGlobalRef(global);
    return raced;
}

// The ACL's entries as the Java side builds them, with no text to parse: an
// int[] of three numbers an entry (its tag as AclEntry.Tag numbers it, its
// permissions as bits r=4 w=2 x=1, its id), then each entry's name, null
// where it has none. Strings are made only for names: a JNI string costs
// more than the entry it describes. The numbers go over in chunks, not one
// JNI call an entry.
jobjectArray entryFields(Call &call, acl_t acl) {
    static constexpr std::array kTags{ACL_USER_OBJ, ACL_USER, ACL_GROUP_OBJ, ACL_GROUP, ACL_MASK, ACL_OTHER};
    JNIEnv *env = call.env();
    jsize count = 0;
    everyEntry(acl, [&](acl_entry_t) { return ++count; });
    jclass objects = objectClass(call);
    jobjectArray array = objects == nullptr ? nullptr : env->NewObjectArray(count + 1, objects, nullptr);
    jintArray fields = array == nullptr ? nullptr : env->NewIntArray(3 * count);
    if (fields == nullptr) return nullptr;
    env->SetObjectArrayElement(array, 0, fields);
    std::array<jint, 3 * 32> chunk;
    jsize at = 0;
    jsize sent = 0;
    const auto send = [&] {
        env->SetIntArrayRegion(fields, 3 * sent, 3 * (at - sent), chunk.data());
        sent = at;
    };
    const bool whole = everyEntry(acl, [&](acl_entry_t entry) {
        const acl_tag_t tag = tagOf(entry);
        acl_permset_t permset = nullptr;
        acl_get_permset(entry, &permset);
        const jint field[] = {static_cast<jint>(std::find(kTags.begin(), kTags.end(), tag) - kTags.begin()),
                              (acl_get_perm(permset, ACL_READ) == 1) << 2 | (acl_get_perm(permset, ACL_WRITE) == 1) << 1 |
                                  (acl_get_perm(permset, ACL_EXECUTE) == 1),
                              isNamed(tag) ? static_cast<jint>(qualifierOf(entry)) : -1};
        std::copy(std::begin(field), std::end(field), chunk.begin() + 3 * (at++ - sent));
        if (3 * (at - sent) == static_cast<jsize>(chunk.size())) send();
        if (!isNamed(tag)) return true;
        const auto id = static_cast<unsigned>(field[2]);
        jstring name = nullptr;
        if (!(tag == ACL_USER ? nf::userNameOfId(call, id, name) : nf::groupNameOfId(call, id, name))) return true;
        if (name == nullptr) return false;
        env->SetObjectArrayElement(array, at, name);
        env->DeleteLocalRef(name);
        return true;
    });
    if (whole) send();
    env->DeleteLocalRef(fields);
    return whole ? array : nullptr;
}

// The first entry (between commas or line feeds) of a text that does not
// parse alone. Called with textLock held; may throw std::bad_alloc.
std::string firstBadEntry(const char *text) {
    std::string entry;
    for (const char *at = text;; ++at) {
        if (*at != ',' && *at != '\n' && *at != '\0') {
            entry += *at;
            continue;
        }
        Acl single(acl_from_text(entry.c_str()));
        if (single.get() == nullptr) break;
        entry.clear();
        if (*at == '\0') break;
    }
    return entry;
}

// Parses an ACL text as setfacl takes it. A text that does not parse raises
// EINVAL naming the first entry that does not. The lock is released before
// an exception is raised, which runs Java code.
bool parse(Call &call, const char *text, Acl &out) {
    std::string entry;
    int err = 0;
    {
        const std::lock_guard lock(textLock);
        out.reset(acl_from_text(text));
        if (out.get() != nullptr) return true;
        err = errno;
        if (err != ENOMEM && !call.allocating("No memory for the ACL text.", [&] { return entry = firstBadEntry(text), true; }))
            return false;
    }
    if (err == ENOMEM) {
        errno = err;
        return call.check(-1, kAclRows);
    }
    std::array<char, 400> detail{};
    std::snprintf(detail.data(), detail.size(), "The ACL text does not parse, or names an unknown user or group: '%.256s'.",
                  entry.c_str());
    call.fail(NF_IO_ERROR, detail.data(), EINVAL);
    return false;
}

bool parse(Call &call, jstring text, Acl &out) {
    std::vector<char> native;
    return call.convertText(text, native, kNullArgument) && parse(call, native.data(), out);
}

// A directory's default ACL has no descriptor form in libacl: it is read and
// written by path, which must name the examined directory before the call
// and after it (else ENOENT, as for a file replaced before its reopening).
bool stillExamined(const Examined &file, const NativePath &native) {
    struct stat record {};
    if (retryOnEintr([&] { return ::lstat(native.data(), &record); }) == -1) return false;
    if (record.st_dev == file.record().st_dev && record.st_ino == file.record().st_ino && S_ISDIR(record.st_mode))
        return true;
    errno = ENOENT;
    return false;
}

// One call on a file's ACL: its frame, the path, the examined file and a
// readable descriptor of it.
struct Request {
    Request(JNIEnv *env, const char *method) : call(env, method) {}

    bool prepare(jstring pathString) {
        return call.convert(pathString, path, kAclRows) && call.examine(path, file) &&
               call.reopen(file, path, opened, kAclRows);
    }
    bool isDirectory() const { return S_ISDIR(file.record().st_mode); }

    // The access ACL, or the default ACL (empty for a file, which has none).
    bool read(bool defaultAcl, Acl &acl) {
        if (!defaultAcl) {
            acl.reset(acl_get_fd(opened.fd()));
            return call.check(acl.get() == nullptr ? -1 : 0, kAclRows);
        }
        if (!isDirectory()) {
            acl.reset(acl_init(0));
            return call.check(acl.get() == nullptr ? -1 : 0, kAclRows);
        }
        const bool same = stillExamined(file, path);
        if (same) acl.reset(acl_get_file(path.data(), ACL_TYPE_DEFAULT));
        return call.check(same && acl.get() != nullptr && stillExamined(file, path) ? 0 : -1, kAclRows);
    }

    bool write(bool defaultAcl, acl_t acl) {
        NativeFile_log("Setting the %s ACL of file: [%s]\n", defaultAcl ? "default" : "access", path.data());
        if (!defaultAcl) return call.check(acl_set_fd(opened.fd(), acl), kAclRows);
        if (!isDirectory()) {
            errno = EOPNOTSUPP;
            return call.check(-1, kAclRows);
        }
        const bool done = stillExamined(file, path) &&
                          (acl_entries(acl) == 0 ? acl_delete_def_file(path.data()) : acl_set_file(path.data(), ACL_TYPE_DEFAULT, acl)) == 0;
        return call.check(done && stillExamined(file, path) ? 0 : -1, kAclRows);
    }

    Call call;
    NativePath path;
    Examined file;
    nf::Opened opened;
};

// Applies a change of setfacl's to acl: --set makes the given entries the
// ACL, -m sets or adds them, -x removes them, -b keeps only the owner, group
// and other entries. The mask is then recomputed as setfacl does, unless the
// change gave one.
bool edit(acl_t *acl, acl_t given, int change) {
    const bool maskGiven = (change == kSet || change == kModify) &&
                           !everyEntry(given, [](acl_entry_t entry) { return tagOf(entry) != ACL_MASK; });
    std::vector<acl_entry_t> removed;
    const bool ok = change == kSet || everyEntry(change == kRemoveExtended ? *acl : given, [&](acl_entry_t entry) {
        acl_entry_t own = change == kRemoveExtended ? entry : find(*acl, entry);
        if (change == kModify) return (own != nullptr || acl_create_entry(acl, &own) == 0) && acl_copy_entry(own, entry) == 0;
        if (own != nullptr && (change == kRemove || isNamed(tagOf(own)) || tagOf(own) == ACL_MASK)) removed.push_back(own);
        return true;
    });
    for (acl_entry_t entry : removed)
        if (acl_delete_entry(*acl, entry) != 0) return false;
    return ok && (change == kRemoveExtended || maskGiven || !hasMaskOrNamed(*acl) || acl_calc_mask(acl) == 0);
}

}  // namespace

NATIVE(jobjectArray, get0, jstring path, jboolean defaultAcl) {
    Request r(env, __func__);
    Acl acl;
    if (!r.prepare(path) || !r.read(defaultAcl, acl)) return nullptr;
    return r.call.allocating(kNoMemory, [&] { return entryFields(r.call, acl.get()); });
}

NATIVE(jobjectArray, parse0, jstring text) {
    Call call(env, __func__);
    Acl acl;
    if (!parse(call, text, acl)) return nullptr;
    return call.allocating(kNoMemory, [&] { return entryFields(call, acl.get()); });
}

NATIVE(jstring, text0, jstring text, jstring prefix, jint separator, jint options) {
    Call call(env, __func__);
    NativePath nativePrefix;
    Acl acl;
    if (!call.convert({{prefix, &nativePrefix}}, kNullArgument, kAclRows) || !parse(call, text, acl)) return nullptr;
    if (separator < 1 || separator > 0x7f) {
        call.fail(NF_IO_ERROR, "The separator of ACL entries must be one ASCII character.", EINVAL);
        return nullptr;
    }
    char *printed = nullptr;
    int err = 0;
    {
        const std::lock_guard lock(textLock);
        printed = acl_to_any_text(acl.get(), nativePrefix.data(), static_cast<char>(separator), options);
        err = errno;
    }
    errno = err;
    if (!call.check(printed == nullptr ? -1 : 0, kAclRows)) return nullptr;
    jstring result = call.javaString(printed);
    acl_free(printed);
    return result;
}

NATIVE(void, change0, jstring path, jboolean defaultAcl, jint change, jstring text) {
    Request r(env, __func__);
    Acl given;
    if (change < kSet || change > kRemoveDefault) {
        r.call.fail(NF_IO_ERROR, "No such change of an ACL.", EINVAL);
        return;
    }
    // Every entry is parsed and checked before the file is examined: a wrong
    // one leaves all unapplied.
    if (!r.call.nullTest({path, text}, kNullArgument) || !parse(r.call, text, given) ||
        !r.call.convert(path, r.path, kAclRows) || !r.call.examine(r.path, r.file) ||
        !r.call.reopen(r.file, r.path, r.opened, kAclRows))
        return;
    if (change == kRemoveDefault || change == kRemoveExtended) {
        Acl empty(acl_init(0));
        // acl_init fails only for lack of memory (ENOMEM), which then goes by its row, not as an invalid ACL.
        if (r.isDirectory() && !(r.call.check(empty.get() == nullptr ? -1 : 0, kAclRows) && r.write(true, empty.get())))
            return;
        if (change == kRemoveDefault) return;
    }
    const bool onDefault = defaultAcl && change != kRemoveExtended;
    Acl acl;
    if (change == kSet)
        acl.reset(acl_dup(given.get()));
    else if (!r.read(onDefault, acl))
        return;
    // A directory without a default ACL starts one from its access ACL, as setfacl -d -m does.
    if (onDefault && change == kModify && acl_entries(acl.get()) == 0 && !r.read(false, acl)) return;
    bool edited = false;
    if (!r.call.allocating(kNoMemory, [&] { return edited = acl.get() != nullptr && edit(acl.ref(), given.get(), change), true; }) ||
        !r.call.check(edited ? 0 : -1, kAclRows))
        return;
    // An empty default ACL is removed; any other must be whole.
    if (!(onDefault && acl_entries(acl.get()) == 0) && acl_valid(acl.get()) != 0) {
        errno = EINVAL;
        r.call.check(-1, kAclRows);
        return;
    }
    r.write(onDefault, acl.get());
}
