#include "packagemanager/cli/sign_in_step.h"

#include <string>

#include "client/device_identity.h"
#include "common/cli/arguments.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

int Explain(RunReport& report, const char* step, eVClientResult code, const std::u16string& error,
            bool nonInteractive) {
  switch (code) {
    case eVClientResult::TransferFailed:
    case eVClientResult::TransferTimedOut:
      // The transport's text already says what to check.
      return report.Fail(code, "Cannot reach the service", error);
    case eVClientResult::LoginCancelled:
    case eVClientResult::Cancelled:
      return report.Fail(code, std::string(step) + " was cancelled", error);
    case eVClientResult::LockTimeout:
      return report.Fail(code, "Another program of the vendor holds the session", error,
                         VendraCli::kExitBusy);
    default:
      break;
  }
  if (nonInteractive)
    return report.Fail(code,
                       std::string(step) + " needs a person, and --non-interactive forbids asking",
                       error + u". Sign in on this machine first (the installer does, or run "
                               u"VendraBuild without --non-interactive at a terminal), then run "
                               u"this again.");
  return report.Fail(code, std::string(step) + " failed", error);
}

}  // namespace

int SignInFirst(Clients clients, bool nonInteractive, RunReport& report) {
  std::u16string error;
  // Found before the Login window asks for a password the service would
  // take, only to refuse the device afterwards.
  eVClientResult code = VendraClient::CheckDeviceIdentity(error);
  if (code != eVClientResult::Success)
    return report.Fail(code, "This device cannot be authorised", error);
  code = clients.client.EnsureLogin(error);
  if (code != eVClientResult::Success)
    return Explain(report, "Sign-in", code, error, nonInteractive);
  code = clients.client.EnsureDeviceAuthorized(error);
  if (code != eVClientResult::Success)
    return Explain(report, "Device authorization", code, error, nonInteractive);
  return 0;
}

}  // namespace VendraBuild
