#include "client/session_lock.h"
#include "client/v_client.h"
#include "common/text/format.h"
#include "install/package_manager_installation.h"
#include "install/v_build_client.h"
#include "installer/installer_driver.h"
#include "installer/package_manager_step.h"
#include "installer/pinned_publisher_key.h"
#include "installer/product.h"
#include "packagemanager/base64.h"
#include "packagemanager/utility_signature.h"
#include "platform/elevation.h"
#include "platform/entry_point.h"
#include "platform/launcher.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace {

// The process-wide service client, made before the entry point runs and
// destroyed at normal exit.
VendraClient::VClient g_client;

// The process-wide build client, made after the service client.
VendraClient::VBuildClient g_buildClient;

// The session lock over the machine-wide mutex, made after the clients and
// kept until normal exit like them.
[[maybe_unused]] VendraClient::NamedMutexLock& g_sessionLock = VendraClient::SessionLock();

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
  VendraClient::eVClientResult EnsurePackageManager(std::u16string& error) override {
    return installation_.EnsurePackageManager(error);
  }

 private:
  VendraClient::PackageManagerInstallation installation_{
      g_client, g_buildClient, CheckPackageManagerManifest,
      VendraInstaller::Product::kPackageManagerFile};
};

constexpr char16_t kCaption[] = u"Tandory Installer";
constexpr char16_t kRightsNeeded[] =
    u"Administrator rights are needed to install Tandory.\n"
    u"Run the installer as an administrator (root).";

}  // namespace

int VendraMain(void* moduleInstance) {
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
  g_client.SetModuleInstance(moduleInstance);
  PackageManagerStep packageManager;
  VendraInstaller::DriverServices services{g_client, packageManager,
                                           VendraPlatform::SystemLauncher(),
                                           VendraPlatform::SystemMessageBox(),
                                           VendraPlatform::SystemProcessTerminator()};
  VendraInstaller::InstallerDriver driver(services, installFolder);
  return driver.Run();
}
