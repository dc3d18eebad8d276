#include "client/transfer.h"

#include <optional>
#include <string>

#include "client/connection_pool.h"
#include "client/rate_floor.h"
#include "client/service_address.h"
#include "client/transfer_advice.h"
#include "client/transport_limits.h"
#include "common/text/format.h"

namespace VendraClient {

namespace {

constexpr size_t kUrlBufferSize = 256;
const char kUserAgent[] = "libcurl-agent/1.0";

eVClientResult MapHttpStatus(uint32_t status) {
  switch (status) {
    case 400: return eVClientResult::HttpBadRequest;
    case 401: return eVClientResult::HttpUnauthorized;
    case 402: return eVClientResult::HttpPaymentRequired;
    case 403: return eVClientResult::HttpForbidden;
    case 404: return eVClientResult::HttpNotFound;
    case 405: return eVClientResult::HttpMethodNotAllowed;
    case 408: return eVClientResult::HttpRequestTimeout;
    case 418: return eVClientResult::HttpTeapot;
    default: return eVClientResult::Success;
  }
}

// Hands the status of each reply header to the writer as it begins.
size_t HeaderCallback(char* data, size_t size, size_t count, void* writer) {
  const size_t bytes = size * count;
  const std::string_view line(data, bytes);
  unsigned status = 0;
  if (line.substr(0, 5) == "HTTP/") {
    const size_t space = line.find(' ');
    for (size_t i = space + 1; space != std::string_view::npos && i < line.size() &&
                               line[i] >= '0' && line[i] <= '9';
         ++i)
      status = status * 10 + static_cast<unsigned>(line[i] - '0');
    static_cast<VClient_CurlWriter*>(writer)->OnReplyStatus(status);
  }
  return bytes;
}

struct Observer {
  RequestObserver observer = nullptr;
  void* context = nullptr;
};

Observer& TheObserver() {
  static Observer observer;
  return observer;
}

// What the progress callback watches: the writer's wish to stop and, for a
// download, the rate floor.
struct ProgressWatch {
  const VClient_CurlWriter* writer;
  std::optional<RateFloor> floor;
  bool tooSlow = false;
};

// Asked by libcurl about once a second, and as bytes move: a writer that
// wants the transfer to end ends it, even while nothing arrives; so does a
// download that has crawled below the floor for a whole window.
int ProgressCallback(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto* watch = static_cast<ProgressWatch*>(context);
  if (watch->writer->StopRequested()) return 1;
  if (watch->floor &&
      watch->floor->Broken(RateFloor::Clock::now(), static_cast<uint64_t>(received))) {
    watch->tooSlow = true;
    return 1;
  }
  return 0;
}

}  // namespace

void ObserveRequests(RequestObserver observer, void* context) {
  TheObserver() = {observer, context};
}

VClientTransfer::~VClientTransfer() {
  // The handle forgets the form and headers before they go.
  if (handle_ && pool_) pool_->Give(handle_);
  else if (handle_) curl_easy_cleanup(handle_);
  curl_slist_free_all(headers_);
  curl_mime_free(form_);
}

eVClientResult VClientTransfer::CreateTransfer(std::u16string& error, ConnectionPool* pool) {
  const CURLcode init = curl_global_init(CURL_GLOBAL_ALL);
  if (init != CURLE_OK) {
    error = VendraText::Format(u"curl_global_init() failed (curl error code %d)",
                               static_cast<int>(init));
    return eVClientResult::Failed;
  }
  pool_ = pool;
  handle_ = pool ? pool->Take() : curl_easy_init();
  if (!handle_) {
    error = u"curl_easy_init() failed (unknown reason)";
    return eVClientResult::Failed;
  }
  return eVClientResult::Success;
}

void VClientTransfer::SetRequestPath(std::string_view path) {
  if (!path.empty() && path.front() == '/') path.remove_prefix(1);
  path_ = path;
  base_ = ServiceBaseAddress();
  url_ = base_;
  url_.append(path);
  if (url_.size() > kUrlBufferSize - 1) url_.resize(kUrlBufferSize - 1);
  curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
}

void VClientTransfer::AddFormField(std::string_view name, std::string_view contents) {
  if (!form_) form_ = curl_mime_init(handle_);
  curl_mimepart* part = curl_mime_addpart(form_);
  // Both calls copy what they are given, so the caller's texts may go.
  curl_mime_name(part, std::string(name).c_str());
  curl_mime_data(part, contents.data(), contents.size());
}

void VClientTransfer::RequestFrom(uint64_t first) {
  // libcurl's own range option becomes a Content-Range on a POST.
  const std::string line = "Range: bytes=" + std::to_string(first) + "-";
  headers_ = curl_slist_append(headers_, line.c_str());
}

void VClientTransfer::RequestRange(uint64_t first, uint64_t last) {
  const std::string line =
      "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last);
  headers_ = curl_slist_append(headers_, line.c_str());
}

void VClientTransfer::AcceptEncodedReply() {
  // An empty list offers every encoding this libcurl was built to expand.
  curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, "");
}

eVClientResult VClientTransfer::PerformRequest(VClient_CurlWriter& writer, uint32_t& httpStatus,
                                               std::u16string& error) {
  const TransportLimits limits = CurrentTransportLimits();
  char errorBuffer[CURL_ERROR_SIZE] = {};
  if (!form_) form_ = curl_mime_init(handle_);
  curl_easy_setopt(handle_, CURLOPT_MIMEPOST, form_);
  curl_easy_setopt(handle_, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
  // The form carries the session's tokens: a redirect may lead only to
  // another HTTPS address, unless the service itself is configured at a plain
  // one (a test set-up).
  const bool plainService = url_.compare(0, 7, "http://") == 0;
  curl_easy_setopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, plainService ? "http,https" : "https");
  ProgressWatch watch{&writer, std::nullopt};
  if (stallLimited_) {
    watch.floor.emplace(limits.slowBytesPerSecond, limits.slowSeconds);
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT, 0L);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, limits.stallBytesPerSecond);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  } else {
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT, limits.totalSeconds);
  }
  if (headers_) curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
  curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, HeaderCallback);
  curl_easy_setopt(handle_, CURLOPT_HEADERDATA, &writer);
  curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, CurlWriteCallback);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &writer);
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
  curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, &watch);
  const std::string caFile = ServiceCaFile();
  if (!caFile.empty()) curl_easy_setopt(handle_, CURLOPT_CAINFO, caFile.c_str());

  const CURLcode code = curl_easy_perform(handle_);
  curlCode_ = static_cast<int>(code);
  long replyStatus = 0;
  if (code == CURLE_OK) curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &replyStatus);
  if (const Observer& seen = TheObserver(); seen.observer)
    seen.observer(seen.context, path_, curlCode_, static_cast<uint32_t>(replyStatus));
  // The buffer lives on this stack frame only.
  curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, nullptr);
  if (code == CURLE_UNSUPPORTED_PROTOCOL) {
    long redirects = 0;
    char* target = nullptr;
    curl_easy_getinfo(handle_, CURLINFO_REDIRECT_COUNT, &redirects);
    curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &target);
    if (redirects > 0 || (target && url_ != target)) {
      error = VendraText::Format(
          u"curl error %d: the service redirected the request to %hs, which is not an HTTPS "
          u"address; the request was not sent there",
          static_cast<int>(code), target ? target : "another address");
      return eVClientResult::TransferFailed;
    }
  }
  if (code == CURLE_ABORTED_BY_CALLBACK && watch.tooSlow) {
    // Tried again like a stall.
    error = VendraText::Format(
        u"The transfer was slower than %d bytes per second for %d seconds and was ended",
        static_cast<int>(limits.slowBytesPerSecond), static_cast<int>(limits.slowSeconds));
    return eVClientResult::TransferTimedOut;
  }
  if (code == CURLE_ABORTED_BY_CALLBACK) {
    error = u"The transfer was stopped";
    return eVClientResult::Cancelled;
  }
  if (code != CURLE_OK) {
    curl_off_t connectMicroseconds = 0;
    curl_easy_getinfo(handle_, CURLINFO_CONNECT_TIME_T, &connectMicroseconds);
    error = TransferFailureText({static_cast<int>(code),
                                 errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code),
                                 connectMicroseconds > 0, base_, caFile});
    return code == CURLE_OPERATION_TIMEDOUT ? eVClientResult::TransferTimedOut
                                            : eVClientResult::TransferFailed;
  }
  httpStatus = static_cast<uint32_t>(replyStatus);
  const eVClientResult mapped = MapHttpStatus(httpStatus);
  if (httpStatus / 100 <= 2) return mapped;
  if (error.empty()) error = VendraText::Format(u"HTTP Status %u", httpStatus);
  return mapped == eVClientResult::Success ? eVClientResult::HttpError : mapped;
}

}  // namespace VendraClient
