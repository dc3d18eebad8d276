#pragma once

#include <cstdint>

// Error numbers reported by the platform layer. They are the Windows system
// error numbers on every platform, because the system's messages and result
// rules are written in terms of them; the POSIX layer maps errno onto them.
namespace VendraPlatform::SysError {

constexpr uint32_t kSuccess = 0;  // no error
constexpr uint32_t kFileNotFound = 2;  // the file does not exist
constexpr uint32_t kPathNotFound = 3;  // a folder on the way does not exist
constexpr uint32_t kAccessDenied = 5;  // the system refused access
constexpr uint32_t kNotEnoughMemory = 8;  // memory could not be had
constexpr uint32_t kBadFormat = 11;  // a program or data of the wrong format
constexpr uint32_t kWriteFault = 29;  // a write failed
constexpr uint32_t kReadFault = 30;  // a read failed
constexpr uint32_t kSharingViolation = 32;  // another process has the file open
constexpr uint32_t kFileExists = 80;  // the file exists already
constexpr uint32_t kInvalidParameter = 87;  // an argument the system refused
constexpr uint32_t kDiskFull = 112;  // no space left on the disk
constexpr uint32_t kInvalidName = 123;  // a name the file system does not allow
constexpr uint32_t kAlreadyExists = 183;  // the object exists already
constexpr uint32_t kFilenameTooLong = 206;  // a name or path too long
constexpr uint32_t kFileTooLarge = 223;  // a file too large for its purpose
// Something other than a plain file (a folder, a link, a device) stands
// where one is expected.
constexpr uint32_t kNotAPlainFile = 1920;
constexpr uint32_t kNotSupported = 50;  // not supported here
constexpr uint32_t kBrokenPipe = 109;  // the other end of a pipe is gone
constexpr uint32_t kTimeout = 1460;  // the wait ran out

}  // namespace VendraPlatform::SysError
