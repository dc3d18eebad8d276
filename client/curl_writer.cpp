#include "client/curl_writer.h"

namespace VendraClient {

size_t VClient_CurlWriter_String::Write(const char* data, size_t size, size_t count) {
  const size_t bytes = size * count;
  if (overflowed_ || bytes > largest_ - text_->size()) {
    overflowed_ = true;
    text_->clear();
    text_->shrink_to_fit();
    return 0;
  }
  text_->append(data, bytes);
  return bytes;
}

size_t CurlWriteCallback(char* data, size_t size, size_t count, void* writer) {
  return static_cast<VClient_CurlWriter*>(writer)->Write(data, size, count);
}

}  // namespace VendraClient
