// Internal part of the space helpers shared with the native methods.
#ifndef UNIXNATIVEFILE_FILESYS_STATVFS_H
#define UNIXNATIVEFILE_FILESYS_STATVFS_H

namespace nf {

// The error code the space helpers report for a statvfs errno.
int statvfsErrorCode(int err);

}  // namespace nf

#endif
