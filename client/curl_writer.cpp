#include "client/curl_writer.h"

namespace VendraClient {

size_t VClient_CurlWriter_String::Write(const char* data, size_t size, size_t count) {
  text_->append(data, size * count);
  return size * count;
}

size_t CurlWriteCallback(char* data, size_t size, size_t count, void* writer) {
  return static_cast<VClient_CurlWriter*>(writer)->Write(data, size, count);
}

}  // namespace VendraClient
