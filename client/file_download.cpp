#include "client/file_download.h"

#include <curl/curl.h>

#include <algorithm>

#include "async/v_async_listener.h"
#include "client/curl_file_writer.h"
#include "client/transfer_stop.h"
#include "client/transport_limits.h"
#include "common/memory/ref_ptr.h"
#include "common/text/format.h"
#include "json/object.h"
#include "platform/thread.h"

namespace VendraClient {

namespace {

constexpr long kPauseStepMs = 100;

// Failures that another attempt may well not meet.
bool IsTransient(eVClientResult code, uint32_t httpStatus, int curlCode) {
  if (code == eVClientResult::TransferTimedOut) return true;
  if (code == eVClientResult::TransferFailed) {
    switch (curlCode) {
      case CURLE_COULDNT_CONNECT:
      case CURLE_PARTIAL_FILE:
      case CURLE_GOT_NOTHING:
      case CURLE_SEND_ERROR:
      case CURLE_RECV_ERROR:
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_HTTP2:
      case CURLE_HTTP2_STREAM:
        return true;
      default:
        return false;
    }
  }
  return httpStatus >= 500 || httpStatus == 416;
}

void Note(VAsync* job, VAsyncListener* listener, const std::u16string& file,
          const std::u16string& text) {
  if (!listener) return;
  auto progress = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  progress->SetString(u"filename", file);
  progress->SetString(u"note", text);
  listener->OnProgress(job, progress.Detach());
}

}  // namespace

eVClientResult DownloadWithRetries(const DownloadPreparation& prepare,
                                   const std::u16string& destination,
                                   const std::u16string& within, const ExpectedDownload& expected,
                                   VAsync* job, VAsyncListener* listener, std::u16string& error) {
  const TransportLimits limits = CurrentTransportLimits();
  const int attempts = limits.downloadAttempts < 1 ? 1 : limits.downloadAttempts;
  long pauseMs = limits.retryPauseMs;
  std::u16string history;
  // Whether an attempt of this run continued from bytes already there, and
  // whether the file was started over for a wrong result of one.
  bool continued = false;
  bool startedOver = false;
  for (int attempt = 1;; ++attempt) {
    std::u16string attemptError;
    uint64_t held = 0;
    uint64_t startedAt = 0;
    uint32_t status = 0;
    int curlCode = 0;
    eVClientResult code = eVClientResult::Success;
    std::u16string partialPath;
    {
      VClient_CurlWriter_File writer(job, listener);
      writer.ExpectSize(expected.size);
      if (!expected.sha256.empty()) writer.ExpectDigest(expected.sha256);
      // What an earlier attempt of this run left is this download's own.
      if (!writer.Open(destination, within, attemptError, attempt > 1)) {
        error = attemptError;
        return eVClientResult::FileOpenFailed;
      }
      startedAt = writer.ResumeFrom();
      continued = continued || startedAt != 0;
      std::optional<NamedMutexLockGuard> lock;
      VClientTransfer transfer;
      code = prepare(lock, transfer, attemptError);
      if (code != eVClientResult::Success) {
        error = attemptError;
        return code;
      }
      transfer.LimitByStall();
      if (expected.ranged && expected.size != 0)
        transfer.RequestRange(expected.from + std::min(startedAt, expected.size - 1),
                              expected.from + expected.size - 1);
      else if (startedAt != 0)
        transfer.RequestFrom(startedAt);
      code = transfer.PerformRequest(writer, status, attemptError);
      curlCode = transfer.curlCode();
      code = writer.Finish(code, status, attemptError);
      held = writer.BytesHeld();
      partialPath = writer.PartialPath();
    }
    if (code == eVClientResult::Success) return code;
    // The bytes continued from may have been another file's, whatever their
    // record said (a service that changed the file under the same name): the
    // writer has discarded them, and the file is fetched whole once more at
    // once, without counting among the attempts.
    if (code == eVClientResult::VerifyFailed && continued && !startedOver) {
      startedOver = true;
      continued = false;
      history += VendraText::Format(u"attempt %d from byte %llu: %ls; ", attempt,
                                    static_cast<unsigned long long>(startedAt), attemptError);
      Note(job, listener, destination,
           VendraText::Format(u"%ls; starting the file over", attemptError));
      continue;
    }
    const bool transient = IsTransient(code, status, curlCode);
    if (!transient || attempt - (startedOver ? 1 : 0) >= attempts) {
      if (history.empty()) {
        error = attemptError;
      } else {
        history += VendraText::Format(u"attempt %d: %ls", attempt, attemptError);
        error = VendraText::Format(
            u"Download of %ls failed %d times, each attempt continuing from the bytes already "
            u"received (%ls)",
            destination, attempt, history);
      }
      // Only a partial file whose record says what it is can be continued.
      if (transient && held != 0 && (expected.size != 0 || !expected.sha256.empty()))
        error += VendraText::Format(u"; %llu bytes are kept in %ls and the next run continues "
                                    u"from there",
                                    static_cast<unsigned long long>(held), partialPath);
      return code;
    }
    history += VendraText::Format(u"attempt %d from byte %llu: %ls; ", attempt,
                                  static_cast<unsigned long long>(startedAt), attemptError);
    Note(job, listener, destination,
         VendraText::Format(u"%ls; trying again in %d ms from byte %llu", attemptError,
                            static_cast<int>(pauseMs), static_cast<unsigned long long>(held)));
    // The pause ends early when the download is to stop.
    const TransferStopSignal* stop = StopSignalOf(listener);
    for (long waited = 0; waited < pauseMs; waited += kPauseStepMs) {
      if (stop && stop->StopRequested()) {
        error = VendraText::Format(u"Download of %ls stopped (%ls)", destination, history);
        return eVClientResult::Cancelled;
      }
      VendraPlatform::SleepMilliseconds(
          static_cast<uint32_t>(std::min<long>(kPauseStepMs, pauseMs - waited)));
    }
    pauseMs *= 2;
  }
}

}  // namespace VendraClient
