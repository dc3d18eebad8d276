// The build client's factory for the job that installs one file.
#include "async/v_async_install_file.h"
#include "install/v_build_client.h"

namespace VendraClient {

eVClientResult VBuildClient::InstallFileAsync(VendraJSON::VSJObject* build,
                                              VendraJSON::VSJObject* file,
                                              const std::u16string& downloadFolder,
                                              const std::u16string& installFolder, VAsync** job) {
  if (!build || !file || !job) return eVClientResult::InvalidArgument;
  *job = new VAsync_InstallFile(this, build, file, downloadFolder, installFolder);
  return eVClientResult::Success;
}

}  // namespace VendraClient
