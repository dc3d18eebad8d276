#pragma once

#include <cstddef>
#include <string>

namespace VendraClient {

// Where a transfer's reply body goes, block by block. The answer is the
// number of bytes accepted; anything short of size * count stops the
// transfer.
class VClient_CurlWriter {
 public:
  virtual ~VClient_CurlWriter() = default;
  // The status of each reply as its header starts (an interim 100 or a
  // redirect comes before the final one); the body that follows is the
  // final reply's.
  virtual void OnReplyStatus(uint32_t) {}
  virtual size_t Write(const char* data, size_t size, size_t count) = 0;
  // Asked while the transfer runs, from its thread: true ends it.
  virtual bool StopRequested() const { return false; }
};

// Collects the reply into a string owned by the caller.
class VClient_CurlWriter_String final : public VClient_CurlWriter {
 public:
  explicit VClient_CurlWriter_String(std::string* text) : text_(text) {}
  size_t Write(const char* data, size_t size, size_t count) override;

 private:
  std::string* text_;
};

// The transfer's write callback: forwards to the writer given as write data.
size_t CurlWriteCallback(char* data, size_t size, size_t count, void* writer);

}  // namespace VendraClient
