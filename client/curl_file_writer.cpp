#include "client/curl_file_writer.h"

#include <algorithm>

#include "async/v_async_listener.h"
#include "client/partial_download.h"
#include "client/partial_record.h"
#include "client/transfer_stop.h"
#include "client/transport_limits.h"
#include "client/write_failure.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/json.h"
#include "platform/local_path.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/sys_error.h"

namespace VendraClient {

namespace {

// A service error object is a few hundred bytes; more of an error reply is
// not worth keeping.
constexpr size_t kLargestErrorReply = 64 * 1024;
constexpr char16_t kRecordSuffix[] = u".expected";

bool IsSuccessStatus(uint32_t status) { return status / 100 == 2; }

}  // namespace

VClient_CurlWriter_File::VClient_CurlWriter_File(VAsync* context, VAsyncListener* listener)
    : context_(context),
      listener_(listener),
      stop_(StopSignalOf(listener)),
      largestUnsized_(CurrentTransportLimits().largestUnsizedDownload) {
  Sha256Start(digest_);
}

VClient_CurlWriter_File::~VClient_CurlWriter_File() {
  partial_.Close();
  // An attempt that brought nothing leaves nothing.
  if (!partialPath_.empty() && BytesHeld() == 0) {
    VendraPlatform::DeleteFile(partialPath_);
    VendraPlatform::DeleteFile(recordPath_);
  }
}

bool VClient_CurlWriter_File::Open(const std::u16string& target, const std::u16string& within,
                                   std::u16string& error, bool ownPartial) {
  if (target.empty()) {
    error = u"Failed to open file (no name) for writing (err=87)";
    return false;
  }
  if (within.empty()) {
    uint32_t ignored = 0;
    VendraPlatform::CreateLocalPath(target, ignored);
  } else if (VendraPlatform::CreateFolderInside(within, VendraPlatform::FolderOf(target)) ==
             VendraPlatform::kOutsideFolder) {
    error = VendraText::Format(u"Refused to write %ls: its folder leads outside %ls", target,
                               within);
    return false;
  }
  const std::u16string partial = target + kPartialDownloadSuffix;
  const std::u16string record = partial + kRecordSuffix;
  const std::string recordText = PartialRecordText(expectedSize_, expectedDigest_);
  const bool known = expectedSize_ != 0 || !expectedDigest_.empty();
  uint64_t size = 0;
  if (VendraPlatform::GetFileSize(partial, size) != 0) size = 0;
  // Bytes of another file (another version, an earlier program) would be
  // spliced onto this one: they go, and the record of what is asked now is
  // written before the first new byte.
  if (size != 0 && !ownPartial && !(known && PartialRecordMatches(record, recordText))) {
    if (const uint32_t err = VendraPlatform::DeleteFile(partial);
        err != 0 && err != VendraPlatform::SysError::kFileNotFound) {
      error = VendraText::Format(u"Failed to open file %ls for writing (err=%d)", target, err);
      return false;
    }
    size = 0;
  }
  if (size == 0) {
    if (const uint32_t err = VendraPlatform::WriteFileAtomically(record, recordText)) {
      error = VendraText::Format(u"Failed to open file %ls for writing (err=%d)", target, err);
      return false;
    }
  }
  if (const uint32_t err = partial_.OpenForAppending(partial)) {
    error = VendraText::Format(u"Failed to open file %ls for writing (err=%d)", target, err);
    return false;
  }
  targetPath_ = target;
  partialPath_ = partial;
  recordPath_ = record;
  kept_ = size;
  if (kept_ != 0) RestartDigest();
  return true;
}

void VClient_CurlWriter_File::RestartDigest() {
  Sha256Start(digest_);
  digestUnknown_ = false;
  if (kept_ == 0) return;
  VendraPlatform::File earlier;
  std::string block(1 << 20, '\0');
  uint64_t read = 0;
  if (earlier.OpenForReading(partialPath_) == 0) {
    size_t got = 0;
    while (read < kept_ && earlier.Read(block.data(), block.size(), got) == 0 && got != 0) {
      const size_t used = static_cast<size_t>(std::min<uint64_t>(got, kept_ - read));
      Sha256Add(digest_, block.data(), used);
      read += used;
    }
  }
  // Unreadable: the digest cannot vouch for the file, so it is refused at
  // the end and fetched afresh.
  digestUnknown_ = read != kept_;
}

void VClient_CurlWriter_File::ExpectDigest(const std::string& sha256) {
  expectedDigest_ = sha256;
}

bool VClient_CurlWriter_File::StopRequested() const { return stop_ && stop_->StopRequested(); }

void VClient_CurlWriter_File::OnReplyStatus(uint32_t status) {
  if (status / 100 == 1) return;
  status_ = status;
  // A whole body in answer to a range: what is kept is not a prefix of it.
  if (IsSuccessStatus(status) && status != 206 && kept_ != 0) {
    partial_.Close();
    VendraPlatform::DeleteFile(partialPath_);
    if (const uint32_t err = partial_.OpenForAppending(partialPath_)) writeError_ = err;
    kept_ = 0;
    RestartDigest();
  }
}

size_t VClient_CurlWriter_File::Write(const char* data, size_t size, size_t count) {
  const size_t bytes = size * count;
  if (!IsSuccessStatus(status_)) {
    errorBody_.append(data, std::min(bytes, kLargestErrorReply - std::min(kLargestErrorReply,
                                                                           errorBody_.size())));
    return bytes;
  }
  if (writeError_ != 0 || passedAt_ != 0) return 0;
  // Nothing past the size the file is meant to have reaches the disk.
  if (bytes > Bound() - std::min(Bound(), BytesHeld())) {
    passedAt_ = BytesHeld() + bytes;
    return 0;
  }
  if (const uint32_t err = partial_.Write(data, bytes)) {
    writeError_ = err;
    return 0;
  }
  Sha256Add(digest_, data, bytes);
  received_ += bytes;
  if (!listener_) return bytes;
  auto progress = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  progress->SetString(u"filename", targetPath_);
  progress->SetInteger(u"received_chunk", static_cast<int64_t>(bytes));
  progress->SetInteger(u"received_total", static_cast<int64_t>(BytesHeld()));
  listener_->OnProgress(context_, progress.Detach());
  return bytes;
}

void VClient_CurlWriter_File::DiscardPartial() {
  partial_.Close();
  VendraPlatform::DeleteFile(partialPath_);
  VendraPlatform::DeleteFile(recordPath_);
  kept_ = 0;
  received_ = 0;
  RestartDigest();
}

eVClientResult VClient_CurlWriter_File::Finish(eVClientResult code, uint32_t httpStatus,
                                               std::u16string& error) {
  const uint32_t closeError = partial_.Close();
  if (writeError_ != 0 || (closeError != 0 && code == eVClientResult::Success)) {
    // What reached the disk is a true prefix of the file: it stays for the
    // next attempt.
    error = WriteFailureText(partialPath_, writeError_ != 0 ? writeError_ : closeError);
    return eVClientResult::FileOpenFailed;
  }
  if (passedAt_ != 0) {
    DiscardPartial();
    error = expectedSize_ != 0
                ? VendraText::Format(u"Wrong download of %ls: it passed the %llu bytes "
                                     u"expected (%llu bytes received); it was discarded",
                                     targetPath_, static_cast<unsigned long long>(expectedSize_),
                                     static_cast<unsigned long long>(passedAt_))
                : VendraText::Format(u"Wrong download of %ls: it passed %llu bytes, the "
                                     u"most a download of unknown size may have (%llu bytes "
                                     u"received); it was discarded",
                                     targetPath_,
                                     static_cast<unsigned long long>(largestUnsized_),
                                     static_cast<unsigned long long>(passedAt_));
    return eVClientResult::VerifyFailed;
  }
  if (httpStatus == 416) {
    // The partial file is as long as the file or longer: it is not a prefix.
    DiscardPartial();
    error = VendraText::Format(
        u"The service would not continue %ls from the bytes already here; they were discarded",
        targetPath_);
    return code == eVClientResult::Success ? eVClientResult::HttpError : code;
  }
  if (code == eVClientResult::Success && IsSuccessStatus(httpStatus)) {
    std::string digest;
    Sha256Text(digest_, digest);
    if (digestUnknown_) digest = "unknown (the partial file could not be read)";
    const bool wrongSize = expectedSize_ != 0 && BytesHeld() != expectedSize_;
    const bool wrongDigest = !expectedDigest_.empty() && !VendraText::EqualsIgnoreAsciiCase(digest, expectedDigest_);
    if (wrongSize || wrongDigest) {
      const uint64_t held = BytesHeld();
      DiscardPartial();
      error = VendraText::Format(u"Wrong download of %ls: expected ", targetPath_);
      if (expectedSize_ != 0)
        error += VendraText::Format(u"%llu bytes", static_cast<unsigned long long>(expectedSize_));
      if (!expectedDigest_.empty())
        error += VendraText::Format(u"%ls SHA-256 %hs", expectedSize_ != 0 ? u" with" : u"",
                                    expectedDigest_);
      error += VendraText::Format(u", received %llu bytes with SHA-256 %hs; it was discarded",
                                  static_cast<unsigned long long>(held), digest);
      return eVClientResult::VerifyFailed;
    }
    if (const uint32_t err = VendraPlatform::MoveFileReplacing(partialPath_, targetPath_)) {
      error = VendraText::Format(u"Failed to move temporary file to %ls. GetLastError=%d",
                                 targetPath_, err);
      return eVClientResult::Failed;
    }
    VendraPlatform::DeleteFile(recordPath_);
    kept_ = 0;
    received_ = 0;
    return code;
  }
  if (!errorBody_.empty()) {
    Vendra::RefPtr<VendraJSON::VSJObject> reply;
    std::u16string parseError;
    if (VendraJSON::ParseObjectA(errorBody_.c_str(), errorBody_.size(), reply.Receive(),
                                 parseError) &&
        reply) {
      std::u16string text;
      if (reply->GetString(u"error", text)) error = text;
    }
  }
  return code;
}

}  // namespace VendraClient
