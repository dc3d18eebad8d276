#pragma once

#include <cstdint>

// Error numbers reported by the platform layer. They are the Windows system
// error numbers on every platform, because the system's messages and result
// rules are written in terms of them; the POSIX layer maps errno onto them.
namespace VendraPlatform::SysError {

constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kBadFormat = 11;
constexpr uint32_t kWriteFault = 29;
constexpr uint32_t kReadFault = 30;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kInvalidName = 123;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kFilenameTooLong = 206;
constexpr uint32_t kFileTooLarge = 223;
// Something other than a plain file (a folder, a link, a device) stands
// where one is expected.
constexpr uint32_t kNotAPlainFile = 1920;
constexpr uint32_t kNotSupported = 50;
constexpr uint32_t kBrokenPipe = 109;
constexpr uint32_t kTimeout = 1460;

}  // namespace VendraPlatform::SysError
