#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

namespace VendraClient {

// A counted byte buffer: whole files held in memory by the compressed-file
// codec. It starts with one reference, which belongs to whoever created it.
class VBuffer {
 public:
  VBuffer() = default;
  VBuffer(const VBuffer&) = delete;
  VBuffer& operator=(const VBuffer&) = delete;

  // Frees the block.
  virtual ~VBuffer();
  // Adds a reference; answers the new count.
  virtual int AddRef();
  // Drops a reference and destroys the buffer with the last one; answers the
  // remaining count.
  virtual int Release();
  // Reallocates the block to size bytes (allocating one when there is none)
  // and makes that the size. Answers the block, or null when size is
  // negative or the memory cannot be had; the buffer is then unchanged.
  virtual uint8_t* Resize(int32_t size);
  // Replaces the content with the whole file. False when the file cannot be
  // opened or read in full; the size is then that of what was read.
  virtual bool ReadFromFile(std::u16string_view path);
  // Creates the file's folders, then creates or empties the file and writes
  // the content. errorNumber gets the C runtime's error number of the open
  // (13 for access denied), 0 when the open succeeded. A failed write removes
  // the partial file.
  virtual bool WriteToFile(std::u16string_view path, int& errorNumber);

  // ReadFromFile with the details: answers the system error number (0 on
  // success) and tells whether the file could be opened at all.
  uint32_t LoadFile(std::u16string_view path, bool& opened);

  // The bytes, null while the buffer has none; valid until the next Resize.
  uint8_t* Data() const { return data_; }
  // The number of bytes.
  int32_t Size() const { return size_; }

 private:
  std::atomic<int32_t> references_{1};
  uint8_t* data_ = nullptr;
  int32_t size_ = 0;
};

}  // namespace VendraClient
