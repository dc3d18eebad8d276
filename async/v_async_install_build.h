#pragma once

#include <memory>
#include <string>

#include "async/v_async_build_walk.h"
#include "install/iv_build_client.h"

namespace VendraClient {

class WF2Thread_InstallBuild final : public WF2JobThread {
 public:
  using WF2JobThread::WF2JobThread;
};

// Installs every file of a list, one InstallFileAsync job at a time. Nothing
// of a file's installation reaches the listener; after a failure the result
// object is the failing file job's ("build", "file", "download_path",
// "install_path").
class VAsync_InstallBuild final : public VAsyncBuildWalk {
 public:
  // Keeps references to build and files; the build client outlives the job.
  VAsync_InstallBuild(IVBuildClient* buildClient, VendraJSON::VSJObject* build,
                      VendraJSON::VSJArray* files, std::u16string downloadFolder,
                      std::u16string installFolder);
  ~VAsync_InstallBuild() override;

  Wrenfield2::WF2Thread& Worker() override { return worker_; }

 protected:
  eVClientResult MakeFileJob(VendraJSON::VSJObject* file, VAsync** job,
                             std::u16string& error) override;
  VAsyncListener* MakeFileListener(VendraJSON::VSJObject* file, VAsyncListener* listener,
                                   std::shared_ptr<VAsyncBuildLink>& link) override;
  void KeepFileFailure(VAsync* job) override;
  VendraJSON::VSJObject* MakeFailureResult() override;

 private:
  IVBuildClient* buildClient_;
  std::u16string downloadFolder_;
  std::u16string installFolder_;
  // The failing file job's result, until the step hands it on as the job's.
  Vendra::RefPtr<VendraJSON::VSJObject> fileFailure_;
  WF2Thread_InstallBuild worker_{this};
};

}  // namespace VendraClient
