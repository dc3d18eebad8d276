// POSIX layer only.
#include "platform/posix/errno_map.h"

#include <cerrno>

#include "platform/sys_error.h"

namespace VendraPlatform::Posix {

uint32_t SysErrorFromErrno(int err) {
  switch (err) {
    case 0: return SysError::kSuccess;
    case ENOENT: return SysError::kFileNotFound;
    case ENOTDIR: return SysError::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return SysError::kAccessDenied;  // as Windows answers for a folder opened as a file
    case ENOMEM: return SysError::kNotEnoughMemory;
    case ENOEXEC: return SysError::kBadFormat;
    case EEXIST: return SysError::kAlreadyExists;
    case ENOSPC:
    case EDQUOT: return SysError::kDiskFull;
    case ENAMETOOLONG: return SysError::kFilenameTooLong;
    case EBUSY:
    case ETXTBSY: return SysError::kSharingViolation;
    case EINVAL: return SysError::kInvalidParameter;
    case EIO: return SysError::kWriteFault;
    default: return SysError::kInvalidParameter;
  }
}

}  // namespace VendraPlatform::Posix
