#include <algorithm>

#include "common/text/format.h"
#include "platform/files.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

// The size the file claims is only a first check: it may grow while it is
// read, so no more than limit + 1 bytes are ever taken.
uint32_t ReadOpened(File& file, size_t limit, std::string& bytes) {
  uint64_t size = 0;
  if (const uint32_t err = file.Size(size)) return err;
  if (size > limit) return SysError::kFileTooLarge;
  bytes.clear();
  bytes.reserve(static_cast<size_t>(size));
  char buffer[1 << 14];
  while (bytes.size() <= limit) {
    size_t got = 0;
    const size_t want = std::min(sizeof buffer, limit + 1 - bytes.size());
    if (const uint32_t err = file.Read(buffer, want, got)) return err;
    if (got == 0) return SysError::kSuccess;
    bytes.append(buffer, got);
  }
  return SysError::kFileTooLarge;
}

std::u16string Problem(std::u16string_view path, uint32_t error, size_t limit) {
  switch (error) {
    case SysError::kFileNotFound:
    case SysError::kPathNotFound:
      return VendraText::Format(u"%ls does not exist.", path);
    case SysError::kNotAPlainFile:
      return VendraText::Format(
          u"%ls is not a plain file: a folder, a link or a device is in its place.", path);
    case SysError::kFileTooLarge:
      return VendraText::Format(u"%ls holds more than %llu bytes, more than it ever should.",
                                path, static_cast<unsigned long long>(limit));
    default:
      return VendraText::Format(u"%ls cannot be read (system error %u).", path, error);
  }
}

uint32_t Read(File& file, uint32_t opened, std::u16string_view path, size_t limit,
              std::string& bytes, std::u16string& problem) {
  bytes.clear();
  const uint32_t error = opened ? opened : ReadOpened(file, limit, bytes);
  if (error) {
    bytes.clear();
    problem = Problem(path, error, limit);
  }
  return error;
}

}  // namespace

uint32_t ReadSmallFile(std::u16string_view path, size_t limit, std::string& bytes,
                       std::u16string& problem) {
  File file;
  const uint32_t opened = file.OpenOwnForReading(path);
  return Read(file, opened, path, limit, bytes, problem);
}

uint32_t ReadPrivateSmallFile(std::u16string_view path, size_t limit, std::string& bytes,
                              std::u16string& problem) {
  File file;
  const uint32_t opened = file.OpenPrivateForReading(path);
  return Read(file, opened, path, limit, bytes, problem);
}

}  // namespace VendraPlatform
