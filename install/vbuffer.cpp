#include "install/vbuffer.h"

#include <cstdlib>

#include "install/crt_error.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/sys_error.h"

namespace VendraClient {

VBuffer::~VBuffer() { std::free(data_); }

int VBuffer::AddRef() { return references_.fetch_add(1) + 1; }

int VBuffer::Release() {
  int32_t count = references_.load();
  while (true) {
    if (count == 0) return 0;
    if (references_.compare_exchange_weak(count, count - 1)) break;
  }
  if (count == 1) {
    delete this;
    return 0;
  }
  return count - 1;
}

uint8_t* VBuffer::Resize(int32_t size) {
  if (size < 0) return nullptr;
  // An empty buffer still has a block, so that its data pointer is always
  // usable as a place to write (zlib refuses a null output).
  const size_t bytes = size == 0 ? 1 : static_cast<size_t>(size);
  void* block = std::realloc(data_, bytes);
  if (!block) {
    // Shrinking in place cannot fail in practice; if the allocator says so,
    // the old, larger block still serves.
    if (!data_ || size > size_) return nullptr;
    block = data_;
  }
  data_ = static_cast<uint8_t*>(block);
  size_ = size;
  return data_;
}

uint32_t VBuffer::LoadFile(std::u16string_view path, bool& opened) {
  VendraPlatform::File file;
  const uint32_t openError = file.OpenForReading(path);
  opened = openError == VendraPlatform::SysError::kSuccess;
  if (!opened) return openError;
  uint64_t length = 0;
  if (const uint32_t error = file.Size(length)) return error;
  // Sizes are 32-bit signed; a longer file cannot be held.
  if (length > INT32_MAX || !Resize(static_cast<int32_t>(length)))
    return VendraPlatform::SysError::kNotEnoughMemory;
  int32_t filled = 0;
  while (filled < size_) {
    size_t got = 0;
    const uint32_t error = file.Read(data_ + filled, static_cast<size_t>(size_ - filled), got);
    if (error != VendraPlatform::SysError::kSuccess || got == 0) {
      // Never leave bytes in the buffer that did not come from the file.
      Resize(filled);
      return error ? error : VendraPlatform::SysError::kReadFault;
    }
    filled += static_cast<int32_t>(got);
  }
  return VendraPlatform::SysError::kSuccess;
}

bool VBuffer::ReadFromFile(std::u16string_view path) {
  bool opened = false;
  return LoadFile(path, opened) == VendraPlatform::SysError::kSuccess;
}

bool VBuffer::WriteToFile(std::u16string_view path, int& errorNumber) {
  uint32_t folderError = 0;
  VendraPlatform::CreateLocalPath(path, folderError);
  VendraPlatform::File file;
  errorNumber = CrtErrorNumber(file.CreateForWriting(path));
  if (errorNumber != 0) return false;
  const bool written = file.Write(data_, static_cast<size_t>(size_)) == 0 && file.Close() == 0;
  if (!written) {
    file.Close();
    VendraPlatform::DeleteFile(path);
  }
  return written;
}

}  // namespace VendraClient
