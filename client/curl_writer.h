#pragma once

#include <cstddef>
#include <cstdint>
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

// Collects the reply into a string owned by the caller, up to largest
// bytes: a reply that would pass it ends the transfer at once, and what came
// of it is dropped.
class VClient_CurlWriter_String final : public VClient_CurlWriter {
 public:
  VClient_CurlWriter_String(std::string* text, uint64_t largest)
      : text_(text), largest_(largest) {}
  size_t Write(const char* data, size_t size, size_t count) override;
  // The reply passed largest; the transfer was ended for it.
  bool Overflowed() const { return overflowed_; }
  uint64_t largest() const { return largest_; }

 private:
  std::string* text_;
  uint64_t largest_;
  bool overflowed_ = false;
};

// The transfer's write callback: forwards to the writer given as write data.
size_t CurlWriteCallback(char* data, size_t size, size_t count, void* writer);

}  // namespace VendraClient
