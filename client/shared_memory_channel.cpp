#include "client/shared_memory_channel.h"

#include <algorithm>
#include <cstring>

#include "common/text/format.h"
#include "platform/debug_output.h"

namespace VendraClient {
namespace {

constexpr char16_t kBlockName[] = u"Global::Vendra Software/VC1";
constexpr char16_t kLockPrefix[] = u"Global\\Mutex\\";
constexpr char16_t kLockName[] = u"Vendra Software/VC1";

// The channel lock is a courtesy: after this long the copy goes ahead
// without it, because the session lock already orders the programs.
constexpr uint32_t kChannelLockWaitMs = 1000;

}  // namespace

SharedMemoryChannel::SharedMemoryChannel()
    : name_(kBlockName), size_(kSize), lock_(kLockPrefix, kLockName) {}

bool SharedMemoryChannel::Open() {
  if (!mapping_.IsOpen()) {
    const uint32_t openError = mapping_.OpenExisting(name_);
    if (openError != 0) {
      const uint32_t createError = mapping_.Create(name_, size_);
      if (createError != 0) {
        VendraPlatform::DebugOutput(VendraText::Format(
            u"Open/CreateFileMapping failed, errs=%d and %d\r\n", static_cast<int>(openError),
            static_cast<int>(createError)));
        return false;
      }
    }
  }
  if (!mapping_.View()) mapping_.Map(size_);
  return mapping_.View() != nullptr;
}

uint32_t SharedMemoryChannel::Read(void* buffer) {
  const NamedMutexLockGuard guard(lock_, kChannelLockWaitMs);
  if (!mapping_.IsOpen() && mapping_.OpenExisting(name_) != 0) return 0;
  if (!mapping_.View()) mapping_.Map(size_);
  if (!mapping_.View()) return 0;
  const uint32_t count = std::min(size_, kSize);
  std::memcpy(buffer, mapping_.View(), count);
  return count;
}

uint32_t SharedMemoryChannel::Write(const void* bytes, uint32_t length) {
  const NamedMutexLockGuard guard(lock_, kChannelLockWaitMs);
  if (!Open()) return 0;
  const uint32_t count = std::min(size_, length);
  std::memcpy(mapping_.View(), bytes, count);
  return count;
}

}  // namespace VendraClient
