#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "client/curl_writer.h"
#include "client/result.h"

namespace VendraClient {

// One HTTPS POST to the service: a libcurl easy handle with its multipart
// form, both released with the object on every way out.
class VClientTransfer {
 public:
  VClientTransfer() = default;
  ~VClientTransfer();
  VClientTransfer(const VClientTransfer&) = delete;
  VClientTransfer& operator=(const VClientTransfer&) = delete;

  // libcurl's global initialisation (every time; the library counts it),
  // then the handle. -1 with the library's reason on failure.
  eVClientResult CreateTransfer(std::u16string& error);
  // The service base address followed by path, one leading slash removed,
  // within the 255 bytes of the address buffer.
  void SetRequestPath(std::string_view path);
  // A form field with copies of name and contents (UTF-8).
  void AddFormField(std::string_view name, std::string_view contents);
  // Runs the transfer into writer and maps the outcome: libcurl failures to
  // -116 (time-out) or -101 with "curl error %d: ...", HTTP statuses of 300
  // and more to -4xx or -102 with "HTTP Status %u" unless the error text
  // already holds a message.
  eVClientResult PerformRequest(VClient_CurlWriter& writer, uint32_t& httpStatus,
                                std::u16string& error);

  const std::string& url() const { return url_; }

 private:
  CURL* handle_ = nullptr;
  curl_mime* form_ = nullptr;
  std::string url_;
};

}  // namespace VendraClient
