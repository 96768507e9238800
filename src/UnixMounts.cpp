// The native methods of com.zel.io.file.Mounts: the mount table in full, the
// mount that holds a file, and a mount's space, in the frame of
// NativeFile_frame.h. A table goes to Java as one long[] and one String: per
// mount its numbers and where each of its texts ends in the String, read by
// Mounts.java. Two Java objects per call, not a dozen per mount: making a
// String through JNI costs more than libmount's parse of its text.
#include "UnixMounts.h"

#include "NativeFile_frame.h"
#include "com_zel_io_file_Mounts.h"

#include <array>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#define NATIVE(...) NF_NATIVE(Mounts, __VA_ARGS__)

namespace nf {

int MountTable::read() {
    table_ = mnt_new_table();
    if (table_ == nullptr) return ENOMEM;
    // libmount reports -errno.
    const int rc = mnt_table_parse_file(table_, "/proc/self/mountinfo");
    return rc < 0 ? -rc : 0;
}

}  // namespace nf

namespace {

using nf::Call;
using nf::ErrorRow;

constexpr ErrorRow kTableRows[] = {
    {{ENOMEM}, NF_OUT_OF_MEMORY, "Not enough memory to read the mount table."},
    {{EACCES}, NF_ACCESS_DENIED, "Could not read the mount table.  Permission denied."},
    {{ENOENT}, NF_FILE_NOT_FOUND, "The mount table /proc/self/mountinfo is missing: /proc is not mounted."},
    {{}, NF_IO_ERROR, "Could not read the mount table."},
};

// Appends a mount's numbers and texts, in the order Mounts.java reads
// them: id, parent id, major, minor, propagation (bits in the order of
// MountEntry.Propagation), then where each text ends.
void add(nf::Packed &out, libmnt_fs *fs) {
    const dev_t device = mnt_fs_get_devno(fs);
    unsigned long flags = 0;
    mnt_fs_get_propagation(fs, &flags);
    const jlong propagation = ((flags & MS_SHARED) != 0 ? 1 : 2) | ((flags & MS_SLAVE) != 0 ? 4 : 0) |
                              ((flags & MS_UNBINDABLE) != 0 ? 8 : 0);
    out.numbers.insert(out.numbers.end(),
                       {mnt_fs_get_id(fs), mnt_fs_get_parent_id(fs), major(device), minor(device), propagation});
    for (const char *text : {mnt_fs_get_source(fs), mnt_fs_get_root(fs), mnt_fs_get_target(fs), mnt_fs_get_fstype(fs),
                             mnt_fs_get_options(fs), mnt_fs_get_vfs_options(fs), mnt_fs_get_fs_options(fs)}) {
        if (text != nullptr) out.addText(text, std::strlen(text));
        out.numbers.push_back(out.textEnd());
    }
}

constexpr char kNoMemory[] = "Not enough memory for the mount table.";

bool readTable(Call &call, nf::MountTable &table) {
    errno = table.read();
    return call.check(errno == 0 ? 0 : -1, kTableRows);
}

// The kernel's id of the mount that holds the examined file (Linux 5.8 and
// later), or -1 where it tells none.
long long mountIdOf(const nf::Examined &file) {
    struct statx record {};
    if (nf::retryOnEintr([&] { return ::statx(file.fd(), "", AT_EMPTY_PATH, STATX_MNT_ID, &record); }) == -1 ||
        (record.stx_mask & STATX_MNT_ID) == 0)
        return -1;
    return static_cast<long long>(record.stx_mnt_id);
}

// Whether the mount point `target` holds `path`: equal, or a leading
// directory of it.
bool holds(const std::string &target, const std::string &path) {
    if (target == "/") return true;
    return path.starts_with(target) && (path.size() == target.size() || path[target.size()] == '/');
}

// The file's absolute path, its directory's links resolved and its own name
// kept: a final link is never followed. Empty when it cannot be found.
std::string absoluteOf(const nf::NativePath &native) {
    std::string path = native.data();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name == "." || name == ".." || path == "/") dir = path, name.clear();
    nf::NativePath resolved;
    if (::realpath(dir.c_str(), resolved.data()) == nullptr) return {};
    std::string absolute = resolved.data();
    if (!name.empty()) absolute += (absolute == "/" ? "" : "/") + name;
    return absolute;
}

// Where the kernel tells no mount id: the mount of the file's device whose
// mount point is the longest leading part of its path; a file system whose
// files report another device than its mount (btrfs subvolumes) falls back
// to the longest leading part alone. A later mount of the same device wins
// a tie, as the later one covers the earlier.
libmnt_fs *mountByPrefix(const nf::MountTable &table, const nf::Examined &file, const nf::NativePath &native) {
    const std::string path = absoluteOf(native);
    libmnt_fs *best = nullptr;
    libmnt_fs *bestAnyDevice = nullptr;
    std::size_t bestLength = 0;
    std::size_t bestAnyLength = 0;
    table.forEach([&](libmnt_fs *fs) {
        const char *target = mnt_fs_get_target(fs);
        if (target == nullptr || path.empty() || !holds(target, path)) return true;
        const std::size_t length = std::string_view(target).size();
        if (length >= bestAnyLength) bestAnyDevice = fs, bestAnyLength = length;
        if (mnt_fs_get_devno(fs) == file.record().st_dev && length >= bestLength) best = fs, bestLength = length;
        return true;
    });
    return best != nullptr ? best : bestAnyDevice;
}

}  // namespace

NATIVE(jlongArray, list0, jobjectArray texts) {
    Call call(env, __func__);
    nf::MountTable table;
    if (!call.nullTest({texts}, "texts passed in was NULL.") || !readTable(call, table)) return nullptr;
    NativeFile_log("Processing [%d] mounts for return to Java.\n", table.size());
    return call.allocating(kNoMemory, [&]() -> jlongArray {
        nf::Packed packed;
        // Some 12 numbers and 150 units a mount.
        packed.reserve(12 * static_cast<std::size_t>(table.size()), 160 * static_cast<std::size_t>(table.size()));
        if (table.forEach([&](libmnt_fs *fs) { return add(packed, fs), true; })) return packed.toJava(env, texts);
        errno = ENOMEM;
        call.check(-1, kTableRows);
        return nullptr;
    });
}

NATIVE(jlongArray, mountOf0, jstring path, jobjectArray texts) {
    Call call(env, __func__);
    nf::NativePath native;
    nf::Examined file;
    nf::MountTable table;
    if (!call.nullTest({path, texts}, nf::kNullPath) || !call.examine(path, native, file) || !readTable(call, table))
        return nullptr;
    const long long id = mountIdOf(file);
    libmnt_fs *found = nullptr;
    if (id >= 0) {
        table.forEach([&](libmnt_fs *fs) { return mnt_fs_get_id(fs) == id ? (found = fs, false) : true; });
    } else {
        NativeFile_log("No mount id from statx for: [%s], matching by device and mount point.\n", native.data());
        found = mountByPrefix(table, file, native);
    }
    if (found == nullptr) {
        call.fail(NF_FILE_NOT_FOUND, "The mount that holds the file is not in the mount table.", ENOENT);
        return nullptr;
    }
    return call.allocating(kNoMemory, [&]() -> jlongArray {
        nf::Packed packed;
        add(packed, found);
        return packed.toJava(env, texts);
    });
}

NATIVE(jobjectArray, space0, jstring mountPoint) {
    Call call(env, __func__);
    nf::NativePath native;
    nf::Examined file;
    if (!call.examine(mountPoint, native, file)) return nullptr;
    struct statvfs record {};
    if (!call.check(nf::retryOnEintr([&] { return ::fstatvfs(file.fd(), &record); }), nf::kQueryRows))
        return nullptr;
    const unsigned long long unit = record.f_frsize != 0 ? record.f_frsize : record.f_bsize;
    const long long numbers[] = {mountIdOf(file),
                                 static_cast<long long>(unit * record.f_blocks),
                                 static_cast<long long>(unit * record.f_bfree),
                                 static_cast<long long>(unit * record.f_bavail),
                                 static_cast<long long>(record.f_files),
                                 static_cast<long long>(record.f_ffree)};
    // Decimal texts in place: measuring allocates nothing.
    std::array<std::array<char, 24>, std::size(numbers)> texts{};
    std::array<const char *, std::size(numbers)> fields{};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        std::to_chars(texts[i].data(), texts[i].data() + texts[i].size() - 1, numbers[i]);
        fields[i] = texts[i].data();
    }
    return call.javaStrings(fields.data(), fields.size());
}
