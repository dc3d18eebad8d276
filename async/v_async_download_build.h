#pragma once

#include <memory>
#include <string>

#include "async/v_async_build_walk.h"
#include "client/iv_client.h"

namespace VendraClient {

class WF2Thread_DownloadBuild final : public WF2JobThread {
 public:
  using WF2JobThread::WF2JobThread;
};

// Downloads every file of a list, one DownloadFileAsync job at a time. The
// listener hears each file's progress and a failing file's failure from that
// file's job, with this job as the sender and the file's compressed size as
// "total_size".
class VAsync_DownloadBuild final : public VAsyncBuildWalk {
 public:
  // Keeps references to build and files; the client outlives the job.
  VAsync_DownloadBuild(IVClient* client, VendraJSON::VSJObject* build,
                       VendraJSON::VSJArray* files, std::u16string downloadFolder);
  ~VAsync_DownloadBuild() override;

  Wrenfield2::WF2Thread& Worker() override { return worker_; }
  // The folder the owner named; each entry carries its own destination.
  const std::u16string& DownloadFolder() const { return downloadFolder_; }

 protected:
  eVClientResult MakeFileJob(VendraJSON::VSJObject* file, VAsync** job,
                             std::u16string& error) override;
  VAsyncListener* MakeFileListener(VendraJSON::VSJObject* file, VAsyncListener* listener,
                                   std::shared_ptr<VAsyncBuildLink>& link) override;

 private:
  IVClient* client_;
  std::u16string downloadFolder_;
  // Last, so that it is destroyed first: its thread is done with the rest.
  WF2Thread_DownloadBuild worker_{this};
};

}  // namespace VendraClient
