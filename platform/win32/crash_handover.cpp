// Win32 layer only.
#include "platform/crash_handover.h"

#include <vector>

#include "platform/sys_error.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

class Win32CrashHandover final : public ICrashHandover {
 public:
  ~Win32CrashHandover() override {
    Release();
    if (process_) ::CloseHandle(process_);
  }

  uint32_t Start(std::u16string_view commandLine) override {
    // CreateProcessW may write into the command line, so it gets a copy of
    // its own, as long as the line is (never cut to a fixed size).
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started))
      return ::GetLastError();
    ::CloseHandle(started.hThread);
    if (process_) ::CloseHandle(process_);
    process_ = started.hProcess;
    return SysError::kSuccess;
  }

  uint32_t Place(const void* data, size_t size) override {
    if (!process_) return ERROR_INVALID_HANDLE;
    Release();
    remote_ = ::VirtualAllocEx(process_, nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!remote_) return ::GetLastError();
    size_ = size;
    SIZE_T written = 0;
    if (!::WriteProcessMemory(process_, remote_, data, size, &written)) return ::GetLastError();
    return written == size ? SysError::kSuccess : static_cast<uint32_t>(ERROR_PARTIAL_COPY);
  }

  bool FindReceiver(std::u16string_view windowClass, std::u16string_view title) override {
    const std::wstring className = Win32::Wide(windowClass);
    const std::wstring windowTitle = Win32::Wide(title);
    window_ = ::FindWindowExW(HWND_MESSAGE, nullptr, className.c_str(), windowTitle.c_str());
    return window_ != nullptr;
  }

  uint32_t Deliver(uint32_t message) override {
    if (!window_ || !remote_) return ERROR_INVALID_PARAMETER;
    ::SendMessageW(window_, message, reinterpret_cast<WPARAM>(remote_),
                   static_cast<LPARAM>(size_));
    return SysError::kSuccess;
  }

  uint32_t Release() override {
    if (!remote_) return SysError::kSuccess;
    void* const remote = remote_;
    remote_ = nullptr;
    size_ = 0;
    return ::VirtualFreeEx(process_, remote, 0, MEM_RELEASE) ? SysError::kSuccess
                                                             : ::GetLastError();
  }

 private:
  HANDLE process_ = nullptr;
  void* remote_ = nullptr;
  size_t size_ = 0;
  HWND window_ = nullptr;
};

// The message-only window of the receiving side. The bytes arrive at an
// address of this process; they are copied before the message returns,
// because the sender frees them as soon as it has been delivered.
class Win32CrashReceiver final : public ICrashReceiver {
 public:
  ~Win32CrashReceiver() override {
    if (window_) ::DestroyWindow(window_);
    if (!className_.empty()) ::UnregisterClassW(className_.c_str(), ::GetModuleHandleW(nullptr));
  }

  uint32_t Open(std::u16string_view windowClass, std::u16string_view title) override {
    if (window_) return ERROR_ALREADY_EXISTS;
    className_ = Win32::Wide(windowClass);
    const std::wstring windowTitle = Win32::Wide(title);
    WNDCLASSEXW windowClassRecord{};
    windowClassRecord.cbSize = sizeof windowClassRecord;
    windowClassRecord.lpfnWndProc = WindowProc;
    windowClassRecord.hInstance = ::GetModuleHandleW(nullptr);
    windowClassRecord.lpszClassName = className_.c_str();
    if (!::RegisterClassExW(&windowClassRecord)) {
      className_.clear();
      return ::GetLastError();
    }
    window_ = ::CreateWindowExW(0, className_.c_str(), windowTitle.c_str(), 0, 0, 0, 0, 0,
                                HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window_) return ::GetLastError();
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return SysError::kSuccess;
  }

  uint32_t Receive(uint32_t message, uint32_t timeoutMs, std::string& bytes) override {
    if (!window_) return ERROR_INVALID_PARAMETER;
    message_ = message;
    received_ = false;
    bytes_ = &bytes;
    const DWORD start = ::GetTickCount();
    while (!received_) {
      const DWORD spent = ::GetTickCount() - start;
      if (spent >= timeoutMs) break;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    bytes_ = nullptr;
    return received_ ? SysError::kSuccess : SysError::kTimeout;
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32CrashReceiver*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->bytes_ && message == self->message_) {
      const size_t size = static_cast<size_t>(lParam);
      if (wParam && size > 0) {
        self->bytes_->assign(reinterpret_cast<const char*>(wParam), size);
        self->received_ = true;
      }
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  std::wstring className_;
  uint32_t message_ = 0;
  bool received_ = false;
  std::string* bytes_ = nullptr;
};

}  // namespace

std::unique_ptr<ICrashHandover> NewCrashHandover() {
  return std::make_unique<Win32CrashHandover>();
}

std::unique_ptr<ICrashReceiver> NewCrashReceiver() {
  return std::make_unique<Win32CrashReceiver>();
}

}  // namespace VendraPlatform
