#include "platform/files.h"
#include "platform/sys_error.h"

namespace VendraPlatform {

uint32_t ReadWholeFile(std::u16string_view path, std::string& bytes) {
  File file;
  if (const uint32_t err = file.OpenForReading(path)) return err;
  uint64_t size = 0;
  file.Size(size);
  bytes.clear();
  bytes.reserve(static_cast<size_t>(size));
  char buffer[1 << 16];
  while (true) {
    size_t got = 0;
    if (const uint32_t err = file.Read(buffer, sizeof buffer, got)) return err;
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return SysError::kSuccess;
}

}  // namespace VendraPlatform
