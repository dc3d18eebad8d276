#include "packagemanager/release_gate.h"

#include "json/object.h"
#include "packagemanager/download_cache.h"
#include "packagemanager/install_record.h"
#include "packagemanager/release_check.h"
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
  InstallRecord installed;
  std::u16string noRecord;
  const bool hasRecord = LoadInstallRecord(folder, installed, noRecord);
  ReleaseRequest request{product, branch, version, hasRecord ? &installed : nullptr,
                         allowDowngrade, VendraPlatform::NowUnixSeconds()};
  return CheckRelease(build, config, request, admitted, error);
}

void KeepBuildCopy(const VendraJSON::VSJObject* build, const std::u16string& downloadFolder) {
  const std::u16string path = VendraPlatform::PathAppend(downloadFolder, kBuildCopyName);
  uint32_t ignored = 0;
  VendraPlatform::CreateLocalPath(path, ignored);
  int errorCode = 0;
  build->SaveFile(errorCode, path);
}

}  // namespace VendraBuild
