#include "client/curl_file_writer.h"

#include "async/v_async_listener.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "json/json.h"
#include "platform/local_path.h"
#include "platform/sys_error.h"

namespace VendraClient {

namespace {

// A service error object is a few hundred bytes; a bigger temporary file is
// the partial body of a failed download and is not worth reading.
constexpr uint64_t kLargestErrorReply = 64 * 1024;

}  // namespace

VClient_CurlWriter_File::VClient_CurlWriter_File(VAsync* context, VAsyncListener* listener)
    : context_(context), listener_(listener) {}

// Opened but never finished (the caller gave up): the temporary file goes
// with file_.
VClient_CurlWriter_File::~VClient_CurlWriter_File() = default;

bool VClient_CurlWriter_File::Open(const std::u16string& target, const std::u16string& within,
                                   std::u16string& error) {
  if (within.empty()) {
    uint32_t ignored = 0;
    VendraPlatform::CreateLocalPath(target, ignored);
  }
  if (const uint32_t err = file_.Create(within, target)) {
    if (err == VendraPlatform::kOutsideFolder) {
      error = VendraText::Format(u"Refused to write %ls: its folder leads outside %ls", target,
                                 within);
    } else {
      error = VendraText::Format(u"Failed to open file %ls for writing (err=%d)", target, err);
    }
    return false;
  }
  targetPath_ = target;
  tempPath_ = file_.TempPath();
  return true;
}

size_t VClient_CurlWriter_File::Write(const char* data, size_t size, size_t count) {
  const size_t bytes = size * count;
  if (const uint32_t err = file_.Output().Write(data, bytes)) {
    writeError_ = err;
    return 0;
  }
  total_ += static_cast<uint32_t>(bytes);
  if (!listener_) return bytes;
  auto progress = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  progress->SetString(u"filename", targetPath_);
  progress->SetInteger(u"received_chunk", static_cast<int64_t>(bytes));
  progress->SetInteger(u"received_total", static_cast<int64_t>(total_));
  listener_->OnProgress(context_, progress.Detach());
  return bytes;
}

void VClient_CurlWriter_File::Close() { file_.Output().Close(); }

eVClientResult VClient_CurlWriter_File::Finish(eVClientResult code, uint32_t httpStatus,
                                               std::u16string& error) {
  if (writeError_ != 0) {
    error = VendraText::Format(u"Failed to write file %ls (err=%d)", tempPath_, writeError_);
    file_.Discard();
    return eVClientResult::FileOpenFailed;
  }
  if (code == eVClientResult::Success && httpStatus < 400) {
    if (const uint32_t err = file_.Place()) {
      error = VendraText::Format(u"Failed to move temporary file to %ls. GetLastError=%d",
                                 targetPath_, err);
      file_.Discard();
      return err == VendraPlatform::SysError::kDiskFull ? eVClientResult::FileOpenFailed
                                                        : eVClientResult::Failed;
    }
    return code;
  }
  file_.Output().Close();
  uint64_t size = 0;
  if (VendraPlatform::GetFileSize(tempPath_, size) == 0 && size <= kLargestErrorReply) {
    Vendra::RefPtr<VendraJSON::VSJValue> reply;
    std::u16string parseError;
    VendraJSON::LoadFile(tempPath_, reply.Receive(), parseError);
    if (reply && reply->GetType() == VendraJSON::kTypeObject) {
      std::u16string text;
      if (static_cast<VendraJSON::VSJObject*>(reply.get())->GetString(u"error", text)) {
        error = text;
      }
    }
  }
  file_.Discard();
  return code;
}

}  // namespace VendraClient
