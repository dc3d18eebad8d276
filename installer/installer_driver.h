#pragma once

#include <string>
#include <string_view>

#include "client/iv_client.h"
#include "installer/failure_report.h"
#include "installer/package_manager_step.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace VendraInstaller {

// What a run talks to; the entry point passes the process-wide objects and
// the system's services, tests pass their own.
struct DriverServices {
  VendraClient::IVClient& client;
  IPackageManagerStep& packageManager;
  VendraPlatform::ILauncher& launcher;
  VendraPlatform::IMessageBox& messageBox;
  VendraPlatform::IProcessTerminator& terminator;
};

// One installation run in its fixed order: uninstall entry, sign-in, device,
// package manager, live version, hand-over. Every failure from sign-in on
// shows one message box and ends the run; the answer is always 0. A run
// that made the entry (none was listed, and the folder holds no install)
// and fails before the package manager is in place removes it again.
class InstallerDriver {
 public:
  InstallerDriver(DriverServices services, std::u16string installFolder);

  int Run();

  // The first step, which never stops the run.
  void RegisterProduct();

 private:
  int FailBeforePackageManager(std::u16string_view heading, VendraClient::eVClientResult result);
  bool ReadLiveVersion(std::u16string& version);
  void HandOver(const std::u16string& version);

  DriverServices services_;
  std::u16string installFolder_;
  FailureReport report_;
  // The one error text of the run.
  std::u16string error_;
  // The entry was not listed before this run wrote it.
  bool entryIsNew_ = false;
};

// The install folder: the program's own file name cut at its last
// separator, taken as VendraPlatform::FolderFromOutside takes it. False
// with problem when the folder cannot be used.
bool InstallFolderOf(const std::u16string& moduleFileName, std::u16string& folder,
                     std::u16string& problem);

}  // namespace VendraInstaller
