// Win32 layer only.
#include "platform/named_mutex.h"

#include <string>

#include "platform/win32/windows_api.h"
// sddl.h needs the declarations of windows.h first.
#include <sddl.h>

namespace VendraPlatform {
namespace {

// Full access for everyone and for anonymous users, so that every user's
// copy of the vendor's programs may open the mutex; from Vista on also a
// medium mandatory label with no write-up.
constexpr wchar_t kSecurityWithLabel[] = L"D:(A;;GA;;;WD)(A;;GA;;;AN)S:(ML;;NW;;;ME)";
constexpr wchar_t kSecurity[] = L"D:(A;;GA;;;WD)(A;;GA;;;AN)";

bool VistaOrLater() {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = 6;
  version.dwMinorVersion = 0;
  version.wServicePackMajor = 0;
  ULONGLONG mask = 0;
  mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              mask) != FALSE;
}

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

NamedMutex::~NamedMutex() { Close(); }

uint32_t NamedMutex::Create(std::u16string_view name) {
  Close();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Without the descriptor the mutex gets the default security.
  ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      VistaOrLater() ? kSecurityWithLabel : kSecurity, SDDL_REVISION_1, &descriptor, nullptr);
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  const std::wstring wideName = Win32::Wide(name);
  HANDLE mutex = ::CreateMutexW(descriptor ? &attributes : nullptr, FALSE, wideName.c_str());
  const DWORD error = ::GetLastError();
  if (descriptor) ::LocalFree(descriptor);
  if (!mutex) return error;
  handle_ = reinterpret_cast<intptr_t>(mutex);
  return 0;
}

NamedMutex::WaitResult NamedMutex::Wait(uint32_t milliseconds) {
  if (!IsOpen()) return WaitResult::Failed;
  switch (::WaitForSingleObject(Handle(handle_), milliseconds)) {
    case WAIT_OBJECT_0: return WaitResult::Acquired;
    case WAIT_ABANDONED: return WaitResult::Abandoned;
    case WAIT_TIMEOUT: return WaitResult::TimedOut;
    default: return WaitResult::Failed;
  }
}

void NamedMutex::Release() {
  if (IsOpen()) ::ReleaseMutex(Handle(handle_));
}

void NamedMutex::Close() {
  if (!IsOpen()) return;
  ::CloseHandle(Handle(handle_));
  handle_ = kNone;
}

}  // namespace VendraPlatform
