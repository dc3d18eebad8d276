#pragma once

#include <functional>
#include <string>
#include <utility>

#include "client/iv_client.h"
#include "install/iv_build_client.h"

namespace VendraClient {

// Makes sure the package-manager utility in the data folder's utils folder is
// installed and current: compares it with the service's manifest, downloads
// the compressed file on a worker thread only when that is not current
// either, and expands it into place. Once it has succeeded it answers 0 at
// once for the rest of the process.
class PackageManagerInstallation {
 public:
  // Whom the caller trusts for the package manager: the manifest's checks
  // that the service cannot pass without the publisher (its signature).
  // Called on every manifest before anything is compared, downloaded or
  // expanded; a code other than Success, with its text, ends the
  // installation there, so that the installed program stays as it was. The
  // file's size and digest the manifest names are what the download and the
  // expanded program are then checked against.
  using ManifestCheck =
      std::function<eVClientResult(const VendraJSON::VSJObject* manifest, std::u16string& error)>;

  PackageManagerInstallation(IVClient& client, IVBuildClient& buildClient, ManifestCheck check)
      : client_(client), buildClient_(buildClient), check_(std::move(check)) {}
  // The file name the caller will start from the utils folder: a manifest
  // naming another file is refused, so that the program started is the one
  // that was checked. Without it: any safe name.
  PackageManagerInstallation(IVClient& client, IVBuildClient& buildClient, ManifestCheck check,
                             std::u16string programFile)
      : client_(client),
        buildClient_(buildClient),
        check_(std::move(check)),
        programFile_(std::move(programFile)) {}

  eVClientResult EnsurePackageManager(std::u16string& error);
  // 0 when the compressed file was current or has been downloaded. A job
  // that fails for want of an access token leads to a token refresh (or the
  // Login window) and a fresh start, a few times at most.
  eVClientResult DownloadUtility(VendraJSON::VSJObject* manifest, std::u16string& error);

 private:
  IVClient& client_;
  IVBuildClient& buildClient_;
  ManifestCheck check_;
  std::u16string programFile_;
  bool utilityReady_ = false;
};

}  // namespace VendraClient
