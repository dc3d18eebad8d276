// Win32 layer only.
#include "platform/win32/unique_name.h"

#include <atomic>

#include "platform/win32/windows_api.h"

namespace VendraPlatform::Win32 {

// A name part that is not guessable from outside: the process id, the time
// and a per-process counter, mixed.
std::u16string UniqueSuffix(uint32_t attempt) {
  static std::atomic<uint32_t> counter{0};
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  uint64_t mix = static_cast<uint64_t>(now.QuadPart) ^
                 (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) ^
                 (static_cast<uint64_t>(counter.fetch_add(1)) << 16) ^ attempt;
  mix ^= mix >> 33;
  mix *= 0xff51afd7ed558ccdULL;
  mix ^= mix >> 33;
  static constexpr char16_t kDigits[] = u"0123456789abcdefghijklmnopqrstuvwxyz";
  std::u16string out;
  for (int i = 0; i < 8; ++i) {
    out.push_back(kDigits[mix % 36]);
    mix /= 36;
  }
  return out;
}

}  // namespace VendraPlatform::Win32
