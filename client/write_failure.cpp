#include "client/write_failure.h"

#include "common/text/format.h"
#include "platform/sys_error.h"

namespace VendraClient {

std::u16string WriteFailureText(const std::u16string& path, uint32_t systemError) {
  if (systemError == VendraPlatform::SysError::kDiskFull)
    return VendraText::Format(
        u"Not enough space on the disk to write %ls: free some space and run the install again",
        path);
  return VendraText::Format(u"Failed to write file %ls (err=%d)", path, systemError);
}

}  // namespace VendraClient
