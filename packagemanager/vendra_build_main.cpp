// The package manager: installs, repairs and removes the vendor's products on
// the command lines the installer and the uninstall entry give it.
#include <cstdio>
#include <string>
#include <vector>

#include "client/session_lock.h"
#include "client/v_client.h"
#include "common/text/utf.h"
#include "install/v_build_client.h"
#include "packagemanager/commands.h"
#include "platform/entry_point.h"
#include "platform/program_arguments.h"

namespace {

// The process-wide objects, in the order every program of the vendor makes
// them: the service client, the build client, the session lock.
VendraClient::VClient g_client;
VendraClient::VBuildClient g_buildClient;
[[maybe_unused]] VendraClient::NamedMutexLock& g_sessionLock = VendraClient::SessionLock();

int Usage() {
  std::printf(
      "usage: VendraBuild install [--allow-downgrade] PRODUCT BRANCH VERSION FOLDER EXECUTABLE\n"
      "       VendraBuild uninstall KEY FOLDER\n"
      "       VendraBuild modify KEY FOLDER\n");
  return 2;
}

}  // namespace

int VendraMain(void* moduleInstance) {
  g_client.SetModuleInstance(moduleInstance);
  std::vector<std::u16string> args = VendraPlatform::ProgramArguments();
  if (args.empty()) return Usage();
  VendraBuild::InstallOptions options;
  if (args[0] == u"install" && args.size() > 1 && args[1] == u"--allow-downgrade") {
    options.allowDowngrade = true;
    args.erase(args.begin() + 1);
  }
  const VendraBuild::Clients clients{g_client, g_buildClient};
  const std::u16string& command = args[0];
  if (command == u"install" && args.size() == 6) {
    return VendraBuild::InstallCommand(clients, VendraText::Utf16ToUtf8(args[1]),
                                       VendraText::Utf16ToUtf8(args[2]),
                                       VendraText::Utf16ToUtf8(args[3]), args[4], args[5],
                                       options);
  }
  if (command == u"uninstall" && args.size() == 3)
    return VendraBuild::UninstallCommand(args[1], args[2]);
  if (command == u"modify" && args.size() == 3)
    return VendraBuild::ModifyCommand(clients, args[1], args[2]);
  return Usage();
}
