#include "async/v_async_download_build.h"

#include <utility>

#include "async/v_async_listener_download_file.h"

namespace VendraClient {

VAsync_DownloadBuild::VAsync_DownloadBuild(IVClient* client, VendraJSON::VSJObject* build,
                                           VendraJSON::VSJArray* files,
                                           std::u16string downloadFolder)
    : VAsyncBuildWalk(build, files),
      client_(client),
      downloadFolder_(std::move(downloadFolder)) {}

VAsync_DownloadBuild::~VAsync_DownloadBuild() { StopWorkerBriefly(); }

eVClientResult VAsync_DownloadBuild::MakeFileJob(VendraJSON::VSJObject* file, VAsync** job,
                                                 std::u16string& error) {
  return client_->DownloadFileAsync(Build(), file, job, error);
}

VAsyncListener* VAsync_DownloadBuild::MakeFileListener(VendraJSON::VSJObject* file,
                                                       VAsyncListener* listener,
                                                       std::shared_ptr<VAsyncBuildLink>& link) {
  link = std::make_shared<VAsyncBuildLink>(this, listener);
  return VAsyncListener_DownloadFile::Create(file, link);
}

}  // namespace VendraClient
