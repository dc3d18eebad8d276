#include "packagemanager/package_manager_client.h"

namespace VendraBuild {
namespace {

constexpr char16_t kNoWindow[] = u"no stored session, and no window may open in an unattended run";

}  // namespace

VendraClient::eVClientResult PackageManagerClient::ShowLoginWindow(std::u16string& error) {
  if (!windowsForbidden_) return VClient::ShowLoginWindow(error);
  error = kNoWindow;
  return VendraClient::eVClientResult::AccessTokenRequired;
}

VendraClient::eVClientResult PackageManagerClient::ShowDeviceAuthorizationWindow(
    std::u16string& error) {
  if (!windowsForbidden_) return VClient::ShowDeviceAuthorizationWindow(error);
  error = kNoWindow;
  return VendraClient::eVClientResult::DeviceAuthRequired;
}

}  // namespace VendraBuild
