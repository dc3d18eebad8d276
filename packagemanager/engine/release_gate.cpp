#include "packagemanager/engine/release_gate.h"

#include "client/iv_client.h"
#include "common/cli/arguments.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "packagemanager/engine/download_cache.h"
#include "packagemanager/engine/install_record.h"
#include "packagemanager/release/live_version_check.h"
#include "packagemanager/release/release_check.h"
#include "platform/local_path.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace VendraBuild {

bool AdmitBuild(const VendraJSON::VSJObject* build, const std::string& product,
                const std::string& branch, const std::string& version,
                const std::u16string& folder, bool allowDowngrade, ReleaseFloor& admitted,
                std::u16string& error) {
  TrustConfig config;
  if (!LoadTrustConfig(config, error)) return false;
  ReleaseRequest request{product, branch, version, std::nullopt, allowDowngrade,
                         VendraPlatform::NowUnixSeconds()};
  InstallRecord record;
  std::u16string noRecord;
  if (LoadInstallRecord(folder, record, noRecord))
    request.installed = InstalledRelease{record.product, record.version, record.release};
  return CheckRelease(build, config, request, admitted, error);
}

VendraClient::eVClientResult AdmitByBuildList(VendraClient::IVClient& client,
                                              const std::string& product,
                                              const std::string& branch,
                                              const std::string& version, bool allowDowngrade,
                                              const std::set<std::string>& revokedKeys,
                                              std::u16string& error, std::string& heading) {
  using VendraClient::eVClientResult;
  heading = "The build list was refused";
  TrustConfig config;
  if (!LoadTrustConfig(config, error)) return eVClientResult::VerifyFailed;
  if (allowDowngrade || config.publisherKeys.empty()) return eVClientResult::Success;
  heading = "Failed to get the build list";
  const std::string list = BuildListOf(config, product);
  Vendra::RefPtr<VendraJSON::VSJObject> buildList;
  eVClientResult code = client.GetBuilds(list, std::string("VendraBuild ") + VendraCli::kVersion,
                                         0, buildList.Receive(), error);
  if (code != eVClientResult::Success) return code;
  if (!buildList) {
    error = u"The service answered without a build list.";
    return eVClientResult::BadReply;
  }
  heading = "The build list was refused";
  const LiveVersionRequest request{list, branch, version, revokedKeys,
                                   VendraPlatform::NowUnixSeconds()};
  if (!CheckLiveVersion(buildList.get(), config, request, error))
    return eVClientResult::VerifyFailed;
  return eVClientResult::Success;
}

void KeepBuildCopy(const VendraJSON::VSJObject* build, const std::u16string& downloadFolder) {
  const std::u16string path = VendraPlatform::PathAppend(downloadFolder, kBuildCopyName);
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  int errorCode = 0;
  build->SaveFile(errorCode, path);
}

}  // namespace VendraBuild
