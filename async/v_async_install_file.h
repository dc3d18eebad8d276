#pragma once

#include <string>

#include "async/v_async_base.h"
#include "install/iv_build_client.h"

namespace VendraClient {

class WF2Thread_InstallFile final : public WF2JobThread {
 public:
  using WF2JobThread::WF2JobThread;
};

// Installs one downloaded file of a build through the build client's
// InstallFile. A failed job's result object names what it was given:
// "build", "file", "download_path" and "install_path".
class VAsync_InstallFile final : public VAsyncBase {
 public:
  VAsync_InstallFile(IVBuildClient* buildClient, VendraJSON::VSJObject* build,
                     VendraJSON::VSJObject* file, std::u16string downloadPath,
                     std::u16string installPath);

 protected:
  Wrenfield2::WF2Thread& Worker() override { return worker_; }
  eVClientResult Perform(VAsyncListener* listener, std::u16string& error) override;
  VendraJSON::VSJObject* MakeFailureResult() override;

 private:
  IVBuildClient* buildClient_;
  Vendra::RefPtr<VendraJSON::VSJObject> build_;
  Vendra::RefPtr<VendraJSON::VSJObject> file_;
  std::u16string downloadPath_;
  std::u16string installPath_;
  WF2Thread_InstallFile worker_{this};
};

}  // namespace VendraClient
