// The service client's factory for the job that downloads a whole build.
#include "async/v_async_download_build.h"
#include "client/v_client.h"

namespace VendraClient {

eVClientResult VClient::DownloadBuildAsync(VendraJSON::VSJObject* build,
                                           VendraJSON::VSJArray* files,
                                           const std::u16string& downloadFolder, VAsync** job,
                                           std::u16string&) {
  if (!build || !files || !job || downloadFolder.empty()) return eVClientResult::InvalidArgument;
  *job = new VAsync_DownloadBuild(this, build, files, downloadFolder);
  return eVClientResult::Success;
}

}  // namespace VendraClient
