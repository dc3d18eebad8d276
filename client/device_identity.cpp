#include "client/device_identity.h"

#include "client/md5.h"
#include "platform/machine_identity.h"

namespace VendraClient {

std::string ComputeDeviceIdentity() {
  std::string identifier;
  if (!VendraPlatform::MachineIdentifier(identifier)) return std::string();
  // The digest's bytes in order: its four words as big-endian "%08x" each.
  return Md5Text(identifier);
}

eVClientResult CheckDeviceIdentity(std::u16string& error) {
  std::string identifier;
  if (VendraPlatform::MachineIdentifier(identifier)) return eVClientResult::Success;
  error = u"The service authorises a device by the machine's identifier, and this machine has "
          u"none: " +
          VendraPlatform::MissingMachineIdentifierText();
  return eVClientResult::Failed;
}

}  // namespace VendraClient
