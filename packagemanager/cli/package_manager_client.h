#pragma once

#include <string>

#include "client/v_client.h"

namespace VendraBuild {

// The package manager's service client: the vendor's client, whose sign-in
// windows an unattended run forbids. Without the stored session such a run
// then fails at once, on every system, instead of waiting for a person at a
// window nobody watches.
//
// A renewal that fails is forgotten by the client, which then opens the
// Login window; where no window may open, the renewal's failure is what the
// run reports when the service could not be reached, since that is what a
// person must mend.
class PackageManagerClient final : public VendraClient::VClient {
 public:
  void ForbidWindows() { windowsForbidden_ = true; }

  VendraClient::eVClientResult ShowLoginWindow(std::u16string& error) override;
  VendraClient::eVClientResult ShowDeviceAuthorizationWindow(std::u16string& error) override;
  VendraClient::eVClientResult RefreshToken(std::u16string& error) override;

 private:
  bool windowsForbidden_ = false;
  VendraClient::eVClientResult lastRefresh_ = VendraClient::eVClientResult::Success;
  std::u16string lastRefreshError_;
};

}  // namespace VendraBuild
