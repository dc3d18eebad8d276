#include "packagemanager/sign_in_step.h"

#include <cstdio>
#include <string>

#include "common/cli/arguments.h"
#include "common/text/terminal_text.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

int Explain(const char* step, eVClientResult code, const std::u16string& error,
            bool nonInteractive) {
  const std::string reason = VendraText::ShownOnTerminalUtf8(error);
  switch (code) {
    case eVClientResult::TransferFailed:
    case eVClientResult::TransferTimedOut:
      std::fprintf(stderr,
                   "VendraBuild: cannot reach the service (%s). Check the network connection "
                   "and any proxy (the https_proxy and no_proxy variables), then run this "
                   "again.\n",
                   reason.c_str());
      return VendraCli::kExitFailure;
    case eVClientResult::LoginCancelled:
    case eVClientResult::Cancelled:
      std::fprintf(stderr, "VendraBuild: %s was cancelled.\n", step);
      return VendraCli::kExitCancelled;
    case eVClientResult::LockTimeout:
      std::fprintf(stderr, "VendraBuild: another program of the vendor holds the session (%s).\n",
                   reason.c_str());
      return VendraCli::kExitBusy;
    default:
      break;
  }
  if (nonInteractive) {
    std::fprintf(stderr,
                 "VendraBuild: %s needs a person, and --non-interactive forbids asking (%s). "
                 "Sign in on this machine first (the installer does, or run VendraBuild "
                 "without --non-interactive at a terminal), then run this again.\n",
                 step, reason.c_str());
    return VendraCli::kExitFailure;
  }
  std::fprintf(stderr, "VendraBuild: %s failed (error code %d): %s\n", step,
               VendraClient::ToInt(code), reason.c_str());
  return VendraCli::kExitFailure;
}

}  // namespace

int SignInFirst(Clients clients, bool nonInteractive) {
  std::u16string error;
  eVClientResult code = clients.client.EnsureLogin(error);
  if (code != eVClientResult::Success) return Explain("sign-in", code, error, nonInteractive);
  code = clients.client.EnsureDeviceAuthorized(error);
  if (code != eVClientResult::Success)
    return Explain("device authorization", code, error, nonInteractive);
  return 0;
}

}  // namespace VendraBuild
