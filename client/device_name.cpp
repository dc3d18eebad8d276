#include <string>

#include "client/v_client.h"
#include "common/text/format.h"
#include "platform/machine_identity.h"

namespace VendraClient {

eVClientResult VClient::GetDeviceName(std::u16string& name, std::u16string& error) {
  const uint32_t failure = VendraPlatform::ComputerName(name);
  if (failure == 0) return eVClientResult::Success;
  error = VendraText::Format(u"GetComputerName failed. GetLastError=%d", static_cast<int>(failure));
  name = u"UNKNOWN";
  return eVClientResult::Failed;
}

}  // namespace VendraClient
