#include "async/v_async_install_build.h"

#include <utility>

#include "async/v_async_listeners.h"

namespace VendraClient {

VAsync_InstallBuild::VAsync_InstallBuild(IVBuildClient* buildClient, VendraJSON::VSJObject* build,
                                         VendraJSON::VSJArray* files,
                                         std::u16string downloadFolder,
                                         std::u16string installFolder)
    : VAsyncBuildWalk(build, files),
      buildClient_(buildClient),
      downloadFolder_(std::move(downloadFolder)),
      installFolder_(std::move(installFolder)) {}

VAsync_InstallBuild::~VAsync_InstallBuild() { StopWorkerBriefly(); }

// The build client's factory says nothing beyond its code.
eVClientResult VAsync_InstallBuild::MakeFileJob(VendraJSON::VSJObject* file, VAsync** job,
                                                std::u16string&) {
  return buildClient_->InstallFileAsync(Build(), file, downloadFolder_, installFolder_, job);
}

VAsyncListener* VAsync_InstallBuild::MakeFileListener(VendraJSON::VSJObject*, VAsyncListener*,
                                                      std::shared_ptr<VAsyncBuildLink>&) {
  return VAsyncListener_InstallFile::Create();
}

void VAsync_InstallBuild::KeepFileFailure(VAsync* job) { job->GetResult(fileFailure_.Receive()); }

VendraJSON::VSJObject* VAsync_InstallBuild::MakeFailureResult() { return fileFailure_.Detach(); }

}  // namespace VendraClient
