#include "async/v_async_listener_download_file.h"

#include <utility>

namespace VendraClient {

VAsyncListener_DownloadFile* VAsyncListener_DownloadFile::Create(
    VendraJSON::VSJObject* file, std::shared_ptr<VAsyncBuildLink> buildJob) {
  return new VAsyncListener_DownloadFile(file, std::move(buildJob));
}

VAsyncListener_DownloadFile::VAsyncListener_DownloadFile(
    VendraJSON::VSJObject* file, std::shared_ptr<VAsyncBuildLink> buildJob)
    : file_(Vendra::RefPtr<VendraJSON::VSJObject>::Share(file)), buildJob_(std::move(buildJob)) {}

void VAsyncListener_DownloadFile::OnProgress(VAsync*, VendraJSON::VSJObject* progress) {
  if (!progress) return;
  // A size that is missing or not a number is told as 0: unknown.
  uint32_t total = 0;
  if (!file_->GetUInt(u"compressed_size", total)) total = 0;
  progress->SetInteger(u"total_size", static_cast<int64_t>(total));
  buildJob_->ForwardProgress(progress);
}

void VAsyncListener_DownloadFile::OnSucceeded(VAsync*, int32_t, const char16_t*) {
  buildJob_->NoteSuccess();
}

void VAsyncListener_DownloadFile::OnFailed(VAsync*, int32_t code, const char16_t* text) {
  buildJob_->ForwardFailure(code, text);
}

}  // namespace VendraClient
