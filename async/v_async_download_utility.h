#pragma once

#include "async/v_async_base.h"
#include "client/iv_client.h"

namespace VendraClient {

class WF2Thread_DownloadUtility final : public WF2JobThread {
 public:
  using WF2JobThread::WF2JobThread;
};

// Downloads a utility's compressed file through the client's
// DownloadUtilityFile.
class VAsync_DownloadUtility final : public VAsyncBase {
 public:
  // Keeps a reference to the manifest; the client outlives the job.
  VAsync_DownloadUtility(IVClient* client, VendraJSON::VSJObject* manifest);

 protected:
  Wrenfield2::WF2Thread& Worker() override { return worker_; }
  eVClientResult Perform(VAsyncListener* listener, std::u16string& error) override;

 private:
  IVClient* client_;
  Vendra::RefPtr<VendraJSON::VSJObject> manifest_;
  WF2Thread_DownloadUtility worker_{this};
};

}  // namespace VendraClient
