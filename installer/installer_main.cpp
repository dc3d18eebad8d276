#include "client/device_identity.h"
#include "client/session_lock.h"
#include "client/v_client.h"
#include "common/cli/arguments.h"
#include "common/text/utf.h"
#include "install/package_manager_installation.h"
#include "install/v_build_client.h"
#include "installer/installer_driver.h"
#include "installer/installer_help.h"
#include "installer/package_manager_step.h"
#include "installer/pinned_publisher_key.h"
#include "installer/product.h"
#include "packagemanager/release/base64.h"
#include "packagemanager/release/utility_signature.h"
#include "platform/console.h"
#include "platform/elevation.h"
#include "platform/entry_point.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/program_arguments.h"
#include "ui/sign_in_windows.h"

namespace {

// The package manager runs with the installer's rights and decides what
// else is trusted: it is installed and started only when the publisher's
// key this installer was built with signed its manifest, whose digest the
// program is then held to.
VendraClient::eVClientResult CheckPackageManagerManifest(const VendraJSON::VSJObject* manifest,
                                                         std::u16string& error) {
  std::string pinnedKey;
  if (!VendraBuild::Base64Decode(VendraInstaller::kPinnedPublisherKey, pinnedKey) ||
      !VendraBuild::CheckUtilitySignature(manifest, VendraInstaller::Product::kUtilityName,
                                          u"The package manager's manifest", {pinnedKey},
                                          VendraPlatform::NowUnixSeconds(), error))
    return VendraClient::eVClientResult::VerifyFailed;
  return VendraClient::eVClientResult::Success;
}

// The utility installation over the two process-wide clients.
class PackageManagerStep final : public VendraInstaller::IPackageManagerStep {
 public:
  PackageManagerStep(VendraClient::VClient& client, VendraClient::VBuildClient& buildClient)
      : installation_(client, buildClient, CheckPackageManagerManifest,
                      VendraInstaller::Product::kPackageManagerFile) {}

  VendraClient::eVClientResult EnsurePackageManager(std::u16string& error) override {
    return installation_.EnsurePackageManager(error);
  }

 private:
  VendraClient::PackageManagerInstallation installation_;
};

constexpr char16_t kCaption[] = u"Tandory Installer";
constexpr char16_t kRightsNeeded[] =
    u"Administrator rights are needed to install Tandory.\n"
    u"Run the installer as an administrator (root).";

// On standard output where it leads anywhere (a console, a file, a pipe);
// a windowed start has none, and the text is shown in a box.
int ShowHelp() {
  if (VendraPlatform::StandardOutputIsOpen())
    return VendraCli::PrintHelp(VendraInstaller::kInstallerHelp);
  VendraPlatform::SystemMessageBox().Show(kCaption,
                                          VendraText::Utf8ToUtf16(VendraInstaller::kInstallerHelp));
  return 0;
}

}  // namespace

int VendraMain(void* moduleInstance) {
  // Asked for its help, the installer does nothing else: it makes no lock,
  // no file and no entry.
  if (VendraInstaller::AsksForHelp(VendraPlatform::ProgramArguments())) return ShowHelp();
  if (!VendraPlatform::HasMachineWriteRights()) {
    VendraPlatform::SystemMessageBox().Show(kCaption, kRightsNeeded);
    return 0;
  }
  // Nothing is registered or installed for a folder whose name would lead
  // elsewhere.
  std::u16string installFolder;
  std::u16string problem;
  if (!VendraInstaller::InstallFolderOf(VendraPlatform::ModuleFileName(), installFolder,
                                        problem)) {
    VendraPlatform::SystemMessageBox().Show(kCaption, problem);
    return 0;
  }
  // Before anything is written or asked: the service would refuse the
  // device only after the password and the e-mailed code.
  if (VendraClient::CheckDeviceIdentity(problem) != VendraClient::eVClientResult::Success) {
    VendraPlatform::SystemMessageBox().Show(kCaption, problem);
    return 0;
  }
  // The process-wide objects, in the order every program of the vendor
  // makes them (service client, build client, session lock) after the
  // windows the client shows, kept until normal exit. Made here rather than
  // before the entry point, so that the runs that stop above leave no named
  // object behind.
  static VendraUi::SystemSignInWindows windows;
  static VendraClient::VClient client;
  static VendraClient::VBuildClient buildClient;
  VendraClient::SessionLock();
  client.SetModuleInstance(moduleInstance);
  client.SetWindows(&windows);
  PackageManagerStep packageManager(client, buildClient);
  VendraInstaller::DriverServices services{client, packageManager,
                                           VendraPlatform::SystemLauncher(),
                                           VendraPlatform::SystemMessageBox(),
                                           VendraPlatform::SystemProcessTerminator()};
  VendraInstaller::InstallerDriver driver(services, installFolder);
  return driver.Run();
}
