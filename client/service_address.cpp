#include "client/service_address.h"

#include "common/text/utf.h"
#include "platform/process.h"

namespace VendraClient {

namespace {
const char kVendorAddress[] = "https://services.vendrasoftware.com/";
}

std::string ServiceBaseAddress() {
  std::string address =
      VendraText::Utf16ToUtf8(VendraPlatform::EnvironmentVariable("VENDRA_SERVICE_URL"));
  if (address.empty()) return kVendorAddress;
  if (address.back() != '/') address.push_back('/');
  return address;
}

std::string ServiceCaFile() {
  return VendraText::Utf16ToUtf8(VendraPlatform::EnvironmentVariable("VENDRA_CA_FILE"));
}

}  // namespace VendraClient
