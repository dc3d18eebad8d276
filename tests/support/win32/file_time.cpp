// File times as FILETIME counts of 100 ns since 1601, read and set through a
// handle; in nanoseconds they are counted from 1970, which keeps them in
// range.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/text/utf.h"
#include "tests/support/file_time.h"

namespace VendraTest {
namespace {

// 1970-01-01 in FILETIME ticks.
constexpr long long kUnixEpochTicks = 116444736000000000LL;

HANDLE Open(const std::string& path, DWORD access) {
  const std::u16string wide = VendraText::Utf8ToUtf16(path);
  return ::CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::chrono::nanoseconds ModificationTime(const std::string& path) {
  const HANDLE file = Open(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return std::chrono::nanoseconds(0);
  FILETIME written{};
  const BOOL ok = ::GetFileTime(file, nullptr, nullptr, &written);
  ::CloseHandle(file);
  if (!ok) return std::chrono::nanoseconds(0);
  const ULONGLONG ticks = (ULONGLONG(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  return std::chrono::nanoseconds((static_cast<long long>(ticks) - kUnixEpochTicks) * 100);
}

bool SetModificationTime(const std::string& path, std::chrono::nanoseconds time) {
  const HANDLE file = Open(path, FILE_WRITE_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  const auto ticks = static_cast<ULONGLONG>(time.count() / 100 + kUnixEpochTicks);
  FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const BOOL ok = ::SetFileTime(file, nullptr, nullptr, &written);
  ::CloseHandle(file);
  return ok != FALSE;
}

}  // namespace VendraTest
