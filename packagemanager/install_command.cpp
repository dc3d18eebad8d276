#include <cstdio>
#include <string>

#include "common/cli/arguments.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "packagemanager/commands.h"
#include "packagemanager/install_engine.h"
#include "packagemanager/install_progress.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

// Failures go to standard error, where scripts and logs look for them. A
// stop the user asked for is no failure of the install and has its own code.
int Fail(const char* heading, eVClientResult code, const std::u16string& error,
         std::u16string* failureText) {
  if (failureText) *failureText = VendraText::Utf8ToUtf16(heading) + u"\n\n" + error;
  std::fflush(stdout);
  std::fprintf(stderr, "%s\nError Code %d\n%s\n", heading, VendraClient::ToInt(code),
               VendraText::ShownOnTerminalUtf8(error).c_str());
  std::fflush(stderr);
  return code == eVClientResult::Cancelled ? VendraCli::kExitCancelled : VendraCli::kExitFailure;
}
}  // namespace

int InstallCommand(Clients clients, const std::string& product, const std::string& branch,
                   const std::string& version, const std::u16string& folder,
                   const std::u16string& executable, InstallProgressListener& listener,
                   const InstallOptions& options) {
  listener.OnNote("Installing " + product + " " + branch + " " + version + " into " +
      VendraText::Utf16ToUtf8(folder));
  std::u16string error;
  eVClientResult code = clients.client.EnsureLogin(error);
  if (code != eVClientResult::Success)
    return Fail("Sign-in failed", code, error, options.failureText);
  code = clients.client.EnsureDeviceAuthorized(error);
  if (code != eVClientResult::Success)
    return Fail("Device authorization failed", code, error, options.failureText);

  std::string heading;
  code = RunInstall(clients,
                    InstallTarget{product, branch, version, folder, executable,
                                  options.allowDowngrade, options.checkEveryFile},
                    listener, error, heading);
  if (code != eVClientResult::Success)
    return Fail(heading.c_str(), code, error, options.failureText);
  listener.OnNote("Installed " + product + " " + branch + " " + version);
  return 0;
}

}  // namespace VendraBuild
