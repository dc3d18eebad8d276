#include "installer/launch_failure.h"

#include "common/text/format.h"

namespace VendraInstaller {

std::u16string LaunchFailureDetail(uint32_t shellAnswer) {
  switch (shellAnswer) {
    case 2: return u"ERROR_FILE_NOT_FOUND";
    case 3: return u"ERROR_PATH_NOT_FOUND";
    case 5: return u"SE_ERR_ACCESSDENIED";
    case 11: return u"ERROR_BAD_FORMAT";
    case 27: return u"SE_ERR_ASSOCINCOMPLETE";
    default: return VendraText::Format(u"ShellExecuteW result %d", shellAnswer);
  }
}

}  // namespace VendraInstaller
