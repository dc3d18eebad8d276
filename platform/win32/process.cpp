// Win32 layer only.
#include "platform/process.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace VendraPlatform {

std::u16string ModuleFileName() {
  // Paths may exceed MAX_PATH; grow until the name fits.
  std::wstring buffer(1024, L'\0');
  while (true) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Win32::FromWide(std::wstring_view(buffer.data(), length));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

void TerminateCurrentProcess(uint32_t exitCode) {
  ::TerminateProcess(::GetCurrentProcess(), exitCode);
  // TerminateProcess on the own process does not return; this satisfies the
  // compiler and covers a refusal.
  ::ExitProcess(exitCode);
}

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

uint32_t TickCountMs() { return ::GetTickCount(); }

int64_t NowUnixSeconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  // 100-ns ticks since 1601-01-01; 11644473600 s lie between 1601 and 1970.
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

std::u16string EnvironmentVariable(const char* name) {
  std::wstring wideName;
  for (const char* c = name; *c; ++c) wideName.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  std::wstring value(256, L'\0');
  while (true) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) return Win32::FromWide(std::wstring_view(value.data(), length));
    value.resize(length);
  }
}

}  // namespace VendraPlatform
