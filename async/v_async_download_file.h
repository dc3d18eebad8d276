#pragma once

#include "async/v_async_base.h"
#include "client/iv_client.h"

namespace VendraClient {

class WF2Thread_DownloadFile final : public WF2JobThread {
 public:
  using WF2JobThread::WF2JobThread;
};

// Downloads one file of a build through the client's DownloadFile.
class VAsync_DownloadFile final : public VAsyncBase {
 public:
  // Keeps a reference to each object; the client outlives the job.
  VAsync_DownloadFile(IVClient* client, VendraJSON::VSJObject* build,
                      VendraJSON::VSJObject* file);

 protected:
  Wrenfield2::WF2Thread& Worker() override { return worker_; }
  eVClientResult Perform(VAsyncListener* listener, std::u16string& error) override;

 private:
  IVClient* client_;
  Vendra::RefPtr<VendraJSON::VSJObject> build_;
  Vendra::RefPtr<VendraJSON::VSJObject> file_;
  // Last, so that it is destroyed first: its thread is done with the rest.
  WF2Thread_DownloadFile worker_{this};
};

}  // namespace VendraClient
