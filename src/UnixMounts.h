// The one reader of the mount table: libmount's parse of the calling
// process's mountinfo. Each reader owns its table, so readers in several
// threads share nothing and need no lock.
#ifndef UNIXMOUNTS_H
#define UNIXMOUNTS_H

#include <libmount/libmount.h>

namespace nf {

class MountTable {
public:
    MountTable() = default;
    ~MountTable() { mnt_unref_table(table_); }
    MountTable(const MountTable &) = delete;
    MountTable &operator=(const MountTable &) = delete;

    // 0, or the errno for which the table could not be read.
    int read();

    // Calls each(fs) for every mount in table order, until it returns false.
    // False when no iterator could be had for lack of memory.
    template <class Each>
    bool forEach(Each each) const {
        libmnt_iter *iter = mnt_new_iter(MNT_ITER_FORWARD);
        if (iter == nullptr) return false;
        libmnt_fs *fs = nullptr;
        while (mnt_table_next_fs(table_, iter, &fs) == 0 && each(fs)) {
        }
        mnt_free_iter(iter);
        return true;
    }

    int size() const { return mnt_table_get_nents(table_); }

private:
    libmnt_table *table_ = nullptr;
};

}  // namespace nf

#endif
