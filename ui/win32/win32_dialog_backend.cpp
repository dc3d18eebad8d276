// Win32 backend only: the dialogs as windows of the system.
#include "ui/win32/win32_dialog_backend.h"

#include "platform/win32/windows_api.h"

#include <string>

namespace VendraUi {
namespace {

using VendraPlatform::Win32::Wide;

// A message box belongs in the middle of its owner, where it hides the
// owner's buttons and the text the person is asked about. The box is moved
// when it is about to be shown: below the owner when the screen has room
// there, else above it; else it stays where the system put it. The hook
// lives only while this thread's box is open, so its owner can travel in a
// thread-local slot.
class BoxBesideOwner {
 public:
  explicit BoxBesideOwner(HWND owner) {
    owner_ = owner;
    hook_ = ::SetWindowsHookExW(WH_CBT, OnEvent, nullptr, ::GetCurrentThreadId());
  }
  ~BoxBesideOwner() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
    owner_ = nullptr;
  }
  BoxBesideOwner(const BoxBesideOwner&) = delete;
  BoxBesideOwner& operator=(const BoxBesideOwner&) = delete;

 private:
  static LRESULT CALLBACK OnEvent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && owner_) {
      HWND box = reinterpret_cast<HWND>(wParam);
      if (box != owner_ && ::GetWindow(box, GW_OWNER) == owner_) {
        Place(box, owner_);
        owner_ = nullptr;  // once: later activations are the person's own moves
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void Place(HWND box, HWND owner) {
    RECT boxRect, ownerRect;
    if (!::GetWindowRect(box, &boxRect) || !::GetWindowRect(owner, &ownerRect)) return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& area = monitor.rcWork;
    const LONG width = boxRect.right - boxRect.left, height = boxRect.bottom - boxRect.top;
    constexpr LONG kGap = 8;
    LONG top;
    if (ownerRect.bottom + kGap + height <= area.bottom) {
      top = ownerRect.bottom + kGap;
    } else if (ownerRect.top - kGap - height >= area.top) {
      top = ownerRect.top - kGap - height;
    } else {
      return;
    }
    LONG left = (ownerRect.left + ownerRect.right - width) / 2;
    if (left + width > area.right) left = area.right - width;
    if (left < area.left) left = area.left;
    ::SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  static thread_local HWND owner_;
  HHOOK hook_ = nullptr;
};

thread_local HWND BoxBesideOwner::owner_ = nullptr;

class WindowHost final : public IDialogHost {
 public:
  explicit WindowHost(HWND dialog) : dialog_(dialog) {}

  size_t TextLength(int id) override {
    const int length = ::GetWindowTextLengthW(::GetDlgItem(dialog_, id));
    return length > 0 ? static_cast<size_t>(length) : 0;
  }

  size_t CopyText(int id, char16_t* buffer, size_t capacity) override {
    if (capacity == 0) return 0;
    const UINT copied = ::GetDlgItemTextW(dialog_, id, reinterpret_cast<wchar_t*>(buffer),
                                          static_cast<int>(capacity));
    return copied;
  }

  void SetText(int id, std::u16string_view text) override {
    const std::wstring wide = Wide(text);
    ::SetDlgItemTextW(dialog_, id, wide.c_str());
  }

  int AddComboEntry(int id, std::u16string_view text) override {
    const std::wstring wide = Wide(text);
    const LRESULT index =
        ::SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return index < 0 ? -1 : static_cast<int>(index);
  }

  bool SetComboItemData(int id, int index, uintptr_t data) override {
    return ::SendDlgItemMessageW(dialog_, id, CB_SETITEMDATA, static_cast<WPARAM>(index),
                                 static_cast<LPARAM>(data)) != CB_ERR;
  }

  uintptr_t ComboItemData(int id, int index) override {
    return static_cast<uintptr_t>(
        ::SendDlgItemMessageW(dialog_, id, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
  }

  bool SelectComboEntry(int id, int index) override {
    const LRESULT r =
        ::SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return index < 0 || r != CB_ERR;
  }

  int SelectedComboEntry(int id) override {
    const LRESULT r = ::SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0);
    return r < 0 ? -1 : static_cast<int>(r);
  }

  void Focus(int id) override { ::SetFocus(::GetDlgItem(dialog_, id)); }

  void PlaceOnTop(int x, int y) override {
    ::SetWindowPos(dialog_, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  }

  void ShowMessage(MessageOwner owner, std::u16string_view caption,
                   std::u16string_view text) override {
    const std::wstring wideCaption = Wide(caption);
    const std::wstring wideText = Wide(text);
    if (owner == MessageOwner::Dialog) {
      BoxBesideOwner placement(dialog_);
      ::MessageBoxW(dialog_, wideText.c_str(), wideCaption.c_str(), MB_OK);
    } else {
      ::MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK);
    }
  }

  void End(int code) override { ::EndDialog(dialog_, code); }

 private:
  HWND dialog_;
};

// The logic travels in the dialog's user slot from the initialisation
// message on; commands before it (there are none in practice) are left to
// the default handling.
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      WindowHost host(dialog);
      const bool focusSet = reinterpret_cast<IDialogLogic*>(lParam)->OnInit(host);
      return focusSet ? FALSE : TRUE;
    }
    case WM_COMMAND: {
      auto* logic = reinterpret_cast<IDialogLogic*>(::GetWindowLongPtrW(dialog, DWLP_USER));
      if (!logic) return FALSE;
      WindowHost host(dialog);
      logic->OnCommand(host, LOWORD(wParam));
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

bool Win32DialogBackend::Run(const DialogTemplate& dialog, IDialogLogic& logic, void* module,
                             uint32_t& lastError) {
  HINSTANCE instance = module ? static_cast<HINSTANCE>(module) : ::GetModuleHandleW(nullptr);
  ::SetLastError(ERROR_SUCCESS);
  const INT_PTR ended =
      ::DialogBoxParamW(instance, MAKEINTRESOURCEW(dialog.resourceId), nullptr, DialogProc,
                        reinterpret_cast<LPARAM>(&logic));
  if (ended == -1) {
    lastError = ::GetLastError();
    return false;
  }
  return true;
}

}  // namespace VendraUi
