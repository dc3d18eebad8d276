#pragma once

#include <memory>

#include "async/v_async_build_link.h"
#include "async/v_async_listeners.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"

namespace VendraClient {

// The listener each file of a build download gets. Progress and failure go
// on to the build job's listener, with the build job as their sender and the
// file's "compressed_size" added to each progress object as "total_size";
// the sub-job's start and success are the build job's own business.
class VAsyncListener_DownloadFile final : public VAsyncListenerCounted {
 public:
  // Keeps a reference to file.
  static VAsyncListener_DownloadFile* Create(VendraJSON::VSJObject* file,
                                             std::shared_ptr<VAsyncBuildLink> buildJob);

  void OnStarted(VAsync*) override {}
  void OnProgress(VAsync* subJob, VendraJSON::VSJObject* progress) override;
  void OnSucceeded(VAsync* subJob, int32_t code, const char16_t* text) override;
  void OnFailed(VAsync* subJob, int32_t code, const char16_t* text) override;

 private:
  VAsyncListener_DownloadFile(VendraJSON::VSJObject* file,
                              std::shared_ptr<VAsyncBuildLink> buildJob);
  ~VAsyncListener_DownloadFile() override = default;

  Vendra::RefPtr<VendraJSON::VSJObject> file_;
  std::shared_ptr<VAsyncBuildLink> buildJob_;
};

}  // namespace VendraClient
