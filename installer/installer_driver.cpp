#include "installer/installer_driver.h"

#include <utility>

#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "install/install_record_name.h"
#include "install/uninstall_entry.h"
#include "installer/folder_size.h"
#include "installer/launch_failure.h"
#include "installer/product.h"
#include "json/object.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/outside_folder.h"
#include "platform/paths.h"

namespace VendraInstaller {
namespace {

using VendraClient::eVClientResult;

constexpr char16_t kLoginFailed[] = u"Vendra Software Login failed";
constexpr char16_t kDeviceFailed[] = u"Vendra Software Device authorization failed";
constexpr char16_t kPackageManagerFailed[] =
    u"Failed to download Vendra Software Package Manager (VendraBuild.exe)";
constexpr char16_t kBuildListFailed[] = u"Failed to get latest build list";
constexpr char16_t kNoLiveBuild[] = u"Build list missing latest 'live' build data.";
constexpr char16_t kNoLiveVersion[] = u"Build list missing latest 'live' build version.";
constexpr char16_t kLaunchFailed[] =
    u"Failed to launch Vendra Software Package Manager (VendraBuild.exe) to complete installation.";

// The shell's answers above this mean the program was started.
constexpr uint32_t kLastShellError = 32;

}  // namespace

bool InstallFolderOf(const std::u16string& moduleFileName, std::u16string& folder,
                     std::u16string& problem) {
  return VendraPlatform::FolderFromOutside(VendraPlatform::FolderOf(moduleFileName), folder,
                                           problem);
}

InstallerDriver::InstallerDriver(DriverServices services, std::u16string installFolder)
    : services_(services), installFolder_(std::move(installFolder)), report_(services.messageBox) {}

int InstallerDriver::Run() {
  // An entry that was listed, or a folder that holds an install, the run
  // leaves registered whatever happens; only an entry of its own it may take
  // back.
  entryIsNew_ = !VendraClient::UninstallEntryExists(Product::kUninstallKeyName) &&
                !VendraPlatform::FileExists(
                    VendraPlatform::JoinFileName(installFolder_, VendraClient::kInstallRecordName));
  RegisterProduct();

  eVClientResult result = services_.client.EnsureLogin(error_);
  if (result != eVClientResult::Success) return FailBeforePackageManager(kLoginFailed, result);
  result = services_.client.EnsureDeviceAuthorized(error_);
  if (result != eVClientResult::Success) return FailBeforePackageManager(kDeviceFailed, result);
  result = services_.packageManager.EnsurePackageManager(error_);
  if (result != eVClientResult::Success)
    return FailBeforePackageManager(kPackageManagerFailed, result);
  std::u16string version;
  if (!ReadLiveVersion(version)) return 0;
  HandOver(version);
  return 0;
}

int InstallerDriver::FailBeforePackageManager(std::u16string_view heading,
                                              eVClientResult result) {
  // The entry's commands start the package manager, which is not there: a
  // first run that stops here takes its entry back before it says why, so
  // that nothing half-done stays listed whenever the process ends.
  if (entryIsNew_) VendraClient::ClearUninstallEntry(Product::kUninstallKeyName);
  report_.ShowFailedCall(heading, result, error_);
  return 0;
}

void InstallerDriver::RegisterProduct() {
  std::u16string utilityPath;
  services_.client.GetDataPath(Product::kPackageManagerPath, utilityPath);
  // Every path is quoted so that the command-line rules give it back whole,
  // whatever characters the folder's name holds.
  using VendraPlatform::QuoteCommandLineArgument;
  const std::u16string uninstall =
      VendraText::Format(u"%ls uninstall %ls %ls", QuoteCommandLineArgument(utilityPath),
                         Product::kPackageKey, QuoteCommandLineArgument(installFolder_));
  const std::u16string modify =
      VendraText::Format(u"%ls modify %ls %ls", QuoteCommandLineArgument(utilityPath),
                         Product::kPackageKey, QuoteCommandLineArgument(installFolder_));
  const uint64_t folderSize = FolderSize(installFolder_);
  const std::u16string executable =
      VendraPlatform::JoinFileName(installFolder_, Product::kProductExecutable);
  // The system's list wants kilobytes in 32 bits; larger folders wrap.
  const uint32_t estimatedSize = static_cast<uint32_t>(folderSize) / 1000u;
  const VendraClient::UninstallEntry entry(Product::kDisplayName, executable, uninstall, modify,
                                           estimatedSize);
  std::u16string ignored;
  VendraClient::WriteUninstallEntry(entry, Product::kUninstallKeyName, ignored);
}

bool InstallerDriver::ReadLiveVersion(std::u16string& version) {
  Vendra::RefPtr<VendraJSON::VSJObject> list;
  const eVClientResult result = services_.client.GetBuilds(
      Product::kSoftwareId, Product::kClientVersion, 0, list.Receive(), error_);
  if (result != eVClientResult::Success) {
    report_.ShowFailedCall(kBuildListFailed, result, error_);
    return false;
  }
  if (!list) {
    report_.Show(kBuildListFailed, kNoLiveBuild);
    return false;
  }
  Vendra::RefPtr<VendraJSON::VSJObject> live;
  const bool hasLive = list->GetObject(Product::kLiveBuild, live.Receive());
  list.Reset();
  if (!hasLive || !live) {
    report_.Show(kBuildListFailed, kNoLiveBuild);
    return false;
  }
  version = Product::kUnknownVersion;
  if (!live->GetString(u"version", version)) {
    report_.Show(kBuildListFailed, kNoLiveVersion);
    return false;
  }
  return true;
}

void InstallerDriver::HandOver(const std::u16string& version) {
  std::u16string utilsFolder;
  services_.client.GetDataPath(Product::kPackageManagerFolder, utilsFolder);
  const std::u16string program = utilsFolder + Product::kPackageManagerFile;
  const std::u16string executable =
      VendraPlatform::JoinFileName(installFolder_, Product::kProductExecutable);
  // The package manager runs with administrator rights: a quote or a
  // trailing backslash in the folder's name must not split it into arguments
  // of someone else's choosing.
  using VendraPlatform::QuoteCommandLineArgument;
  const std::u16string parameters = VendraText::Format(
      u"install %hs %ls %ls %ls %ls", Product::kProductCode,
      QuoteCommandLineArgument(Product::kLiveBuild),
      QuoteCommandLineArgument(version), QuoteCommandLineArgument(installFolder_),
      QuoteCommandLineArgument(executable));
  const uint32_t answer = services_.launcher.Open(program, parameters, utilsFolder);
  if (answer <= kLastShellError) report_.Show(kLaunchFailed, LaunchFailureDetail(answer));
  // The package manager carries on alone, whatever the shell answered.
  services_.terminator.Terminate(0);
}

}  // namespace VendraInstaller
