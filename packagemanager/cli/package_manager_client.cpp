#include "packagemanager/cli/package_manager_client.h"

namespace VendraBuild {
namespace {

constexpr char16_t kNoWindow[] = u"no stored session, and no window may open in an unattended run";

}  // namespace

using VendraClient::eVClientResult;

eVClientResult PackageManagerClient::RefreshToken(std::u16string& error) {
  lastRefresh_ = VClient::RefreshToken(error);
  lastRefreshError_ = error;
  return lastRefresh_;
}

eVClientResult PackageManagerClient::ShowLoginWindow(std::u16string& error) {
  if (!windowsForbidden_) return VClient::ShowLoginWindow(error);
  if (lastRefresh_ == eVClientResult::TransferFailed ||
      lastRefresh_ == eVClientResult::TransferTimedOut) {
    error = lastRefreshError_;
    return lastRefresh_;
  }
  error = kNoWindow;
  return eVClientResult::AccessTokenRequired;
}

VendraClient::eVClientResult PackageManagerClient::ShowDeviceAuthorizationWindow(
    std::u16string& error) {
  if (!windowsForbidden_) return VClient::ShowDeviceAuthorizationWindow(error);
  error = kNoWindow;
  return VendraClient::eVClientResult::DeviceAuthRequired;
}

}  // namespace VendraBuild
