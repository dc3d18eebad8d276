#include <string>

#include "common/text/utf.h"
#include "packagemanager/cli/commands.h"
#include "packagemanager/engine/install_engine.h"
#include "packagemanager/engine/install_progress.h"

namespace VendraBuild {

using VendraClient::eVClientResult;

int InstallCommand(Clients clients, const std::string& product, const std::string& branch,
                   const std::string& version, const std::u16string& folder,
                   const std::u16string& executable, InstallProgressListener& listener,
                   RunReport& report, const InstallOptions& options) {
  listener.OnNote("Installing " + product + " " + branch + " " + version + " into " +
      VendraText::Utf16ToUtf8(folder));
  std::u16string error;
  eVClientResult code = clients.client.EnsureLogin(error);
  if (code != eVClientResult::Success)
    return report.Fail(code, "Sign-in failed", error);
  code = clients.client.EnsureDeviceAuthorized(error);
  if (code != eVClientResult::Success)
    return report.Fail(code, "Device authorization failed", error);

  std::string heading;
  code = RunInstall(clients,
                    InstallTarget{product, branch, version, folder, executable,
                                  options.allowDowngrade, options.checkEveryFile},
                    listener, error, heading);
  if (code != eVClientResult::Success)
    return report.Fail(code, heading, error);
  listener.OnNote("Installed " + product + " " + branch + " " + version);
  return 0;
}

}  // namespace VendraBuild
