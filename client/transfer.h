#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "client/curl_writer.h"
#include "client/result.h"

namespace VendraClient {
class ConnectionPool;
}

namespace VendraClient {

// Hears each request this process sends, once it has its outcome: the
// request path ("vclient/login"), libcurl's code and the HTTP status. Never
// the form: it carries passwords and tokens. Called from whichever thread
// made the request.
using RequestObserver = void (*)(void* context, std::string_view path, int curlCode,
                                 uint32_t httpStatus);
// Set once, before the first request; nullptr stops the reports.
void ObserveRequests(RequestObserver observer, void* context);

// One HTTPS POST to the service: a libcurl easy handle with its multipart
// form, both released with the object on every way out.
class VClientTransfer {
 public:
  VClientTransfer() = default;
  ~VClientTransfer();
  VClientTransfer(const VClientTransfer&) = delete;
  VClientTransfer& operator=(const VClientTransfer&) = delete;

  // libcurl's global initialisation (every time; the library counts it),
  // then the handle: taken from pool when one is given (and given back to
  // it at the end, with its open connections), else a handle of its own.
  // -1 with the library's reason on failure.
  eVClientResult CreateTransfer(std::u16string& error, ConnectionPool* pool = nullptr);
  // The service base address followed by path, one leading slash removed,
  // within the 255 bytes of the address buffer.
  void SetRequestPath(std::string_view path);
  // A form field with copies of name and contents (UTF-8).
  void AddFormField(std::string_view name, std::string_view contents);
  // Asks for the reply body from byte first on ("Range: bytes=FIRST-").
  void RequestFrom(uint64_t first);
  // Asks for the bytes first to last of the reply body ("Range: bytes=FIRST-LAST").
  void RequestRange(uint64_t first, uint64_t last);
  // A text reply: the service may send it compressed in any encoding the
  // transport can expand; the writer counts the expanded bytes.
  void AcceptEncodedReply();
  // A file download: no limit on the whole transfer, but an end when it
  // stalls or crawls (see TransportLimits; a crawl ends it as TransferTimedOut
  // with "The transfer was slower than N bytes per second for S seconds and
  // was ended").
  void LimitByStall() { stallLimited_ = true; }
  // Runs the transfer into writer and maps the outcome: a writer that asks
  // to stop ends it within about a second (-5, Cancelled); libcurl failures
  // to -116 (time-out) or -101 with "curl error %d: ..." and, where a setting
  // or the way to the service may be the cause, what to check (see
  // TransferFailureText), HTTP statuses of 300
  // and more to -4xx or -102 with "HTTP Status %u" unless the error text
  // already holds a message.
  eVClientResult PerformRequest(VClient_CurlWriter& writer, uint32_t& httpStatus,
                                std::u16string& error);

  const std::string& url() const { return url_; }
  // The request path as given to SetRequestPath, without a leading slash.
  const std::string& path() const { return path_; }
  // libcurl's code of the last PerformRequest (0 when it got a reply).
  int curlCode() const { return curlCode_; }

 private:
  CURL* handle_ = nullptr;
  ConnectionPool* pool_ = nullptr;
  curl_mime* form_ = nullptr;
  curl_slist* headers_ = nullptr;
  bool stallLimited_ = false;
  int curlCode_ = 0;
  std::string path_;
  std::string base_;
  std::string url_;
};

}  // namespace VendraClient
