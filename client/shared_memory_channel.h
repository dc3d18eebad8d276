#pragma once

#include <cstdint>
#include <string>

#include "client/named_mutex_lock.h"
#include "platform/shared_memory.h"

namespace VendraClient {

// The named block of shared memory through which the vendor's programs on
// this machine share the current access token. It moves bytes and knows
// nothing of what they mean. The block is opened at the first Read or Write
// and kept until the channel goes.
class SharedMemoryChannel {
 public:
  // The block's size in bytes: the most a Write copies.
  static constexpr uint32_t kSize = 4096;

  SharedMemoryChannel();
  SharedMemoryChannel(const SharedMemoryChannel&) = delete;
  SharedMemoryChannel& operator=(const SharedMemoryChannel&) = delete;

  // Opens the block, creating it when no program has it yet. True when it
  // is mapped.
  bool Open();
  // Copies the whole block into buffer (at least kSize bytes); 0 when no
  // program has created the block, which Read never does.
  uint32_t Read(void* buffer);
  // Copies up to kSize bytes to the start of the block; the count copied.
  uint32_t Write(const void* bytes, uint32_t length);

 private:
  std::u16string name_;
  uint32_t size_;
  VendraPlatform::SharedMemory mapping_;
  NamedMutexLock lock_;
};

}  // namespace VendraClient
