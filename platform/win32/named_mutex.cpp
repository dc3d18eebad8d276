// Win32 layer only.
#include "platform/named_mutex.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

// A Windows mutex belongs to the thread that took it, and only that thread
// may give it up; the callers of NamedMutex take it on one thread and may
// give it up on another (the process holds the lock, as on POSIX). So one
// thread of our own takes and gives up the system's mutex for every caller.
// It lives as long as the mutex is open; a process that ends while holding
// the mutex ends that thread too, and the next waiter is told: abandoned.
class OwnedMutex {
 public:
  explicit OwnedMutex(HANDLE mutex) : mutex_(mutex) {}
  ~OwnedMutex() {
    if (owner_.joinable()) {
      Ask(Request::Quit, 0);
      owner_.join();
    }
    ::CloseHandle(mutex_);
  }
  OwnedMutex(const OwnedMutex&) = delete;
  OwnedMutex& operator=(const OwnedMutex&) = delete;

  NamedMutex::WaitResult Wait(uint32_t milliseconds) { return Ask(Request::Wait, milliseconds); }
  void Release() { Ask(Request::Release, 0); }

 private:
  enum class Request { None, Wait, Release, Quit };

  // One request at a time, answered by the owner thread (started with the
  // first one).
  NamedMutex::WaitResult Ask(Request request, uint32_t milliseconds) {
    std::lock_guard<std::mutex> one(calls_);
    std::unique_lock<std::mutex> locked(lock_);
    if (!owner_.joinable()) owner_ = std::thread([this] { Serve(); });
    request_ = request;
    milliseconds_ = milliseconds;
    answered_ = false;
    changed_.notify_all();
    changed_.wait(locked, [this] { return answered_; });
    return answer_;
  }

  void Serve() {
    std::unique_lock<std::mutex> locked(lock_);
    for (;;) {
      changed_.wait(locked, [this] { return request_ != Request::None; });
      const Request request = request_;
      request_ = Request::None;
      if (request == Request::Wait) {
        const DWORD waited = ::WaitForSingleObject(mutex_, milliseconds_);
        answer_ = waited == WAIT_OBJECT_0    ? NamedMutex::WaitResult::Acquired
                  : waited == WAIT_ABANDONED ? NamedMutex::WaitResult::Abandoned
                  : waited == WAIT_TIMEOUT   ? NamedMutex::WaitResult::TimedOut
                                             : NamedMutex::WaitResult::Failed;
      } else if (request == Request::Release) {
        ::ReleaseMutex(mutex_);
      }
      answered_ = true;
      changed_.notify_all();
      if (request == Request::Quit) return;
    }
  }

  HANDLE mutex_;
  std::mutex calls_;
  std::mutex lock_;
  std::condition_variable changed_;
  Request request_ = Request::None;
  uint32_t milliseconds_ = 0;
  bool answered_ = false;
  NamedMutex::WaitResult answer_ = NamedMutex::WaitResult::Failed;
  std::thread owner_;
};

OwnedMutex* Owned(intptr_t handle) { return reinterpret_cast<OwnedMutex*>(handle); }

}  // namespace

NamedMutex::~NamedMutex() { Close(); }

uint32_t NamedMutex::Create(std::u16string_view name) {
  Close();
  location_ = name;
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
  handle_ = reinterpret_cast<intptr_t>(new OwnedMutex(mutex));
  return 0;
}

NamedMutex::WaitResult NamedMutex::Wait(uint32_t milliseconds) {
  if (!IsOpen()) return WaitResult::Failed;
  return Owned(handle_)->Wait(milliseconds);
}

void NamedMutex::Release() {
  if (IsOpen()) Owned(handle_)->Release();
}

// The system keeps the owning thread to itself.
NamedMutex::Holder NamedMutex::CurrentHolder() const { return {}; }

void NamedMutex::Close() {
  if (!IsOpen()) return;
  delete Owned(handle_);
  handle_ = kNone;
}

}  // namespace VendraPlatform
