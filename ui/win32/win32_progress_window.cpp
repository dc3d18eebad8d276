// Win32 backend only: the progress window, a dialog from the program's
// resources that a worker thread feeds.
#include "ui/progress_window.h"

#include "platform/win32/windows_api.h"
#include <commctrl.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "ui/dialog_ids.h"

namespace VendraUi {
namespace {

using VendraPlatform::Win32::Wide;

// Posted by the worker: a new view waits, and the work has ended.
constexpr UINT kViewWaiting = WM_APP + 1;
constexpr UINT kWorkEnded = WM_APP + 2;

constexpr wchar_t kCancelling[] =
    L"Cancelling: the file at hand is finished first, so that every file stays whole...";

// Shared by the window's thread and the worker. The worker never waits for
// the window: it leaves the latest view here and posts one message until
// the window has taken it.
class Feed final : public IProgressFeed {
 public:
  void Show(const ProgressView& view) override {
    std::lock_guard<std::mutex> locked(mutex_);
    latest_ = view;
    if (posted_ || !window_) return;
    posted_ = ::PostMessageW(window_, kViewWaiting, 0, 0) != 0;
  }
  bool CancelRequested() override { return cancel_.load(); }

  void Attach(HWND window) {
    std::lock_guard<std::mutex> locked(mutex_);
    window_ = window;
  }
  ProgressView Take() {
    std::lock_guard<std::mutex> locked(mutex_);
    posted_ = false;
    return latest_;
  }
  void Cancel() { cancel_.store(true); }

 private:
  std::mutex mutex_;
  HWND window_ = nullptr;
  bool posted_ = false;
  ProgressView latest_;
  std::atomic<bool> cancel_{false};
};

struct Run {
  std::u16string_view caption;
  const std::function<int(IProgressFeed&)>& work;
  Feed feed;
  std::thread worker;
  int result = 0;
  // What is drawn, so that an unchanged text is not set again (which would
  // make it flicker).
  ProgressView shown;
};

void SetIfChanged(HWND dialog, int id, std::u16string& shown, const std::u16string& text) {
  if (shown == text) return;
  shown = text;
  ::SetDlgItemTextW(dialog, id, Wide(text).c_str());
}

void Draw(HWND dialog, Run& run, const ProgressView& view) {
  // Once Cancel was pressed the step line says so until the window closes.
  if (!run.feed.CancelRequested()) SetIfChanged(dialog, ProgressIds::kStep, run.shown.step, view.step);
  SetIfChanged(dialog, ProgressIds::kFile, run.shown.file, view.file);
  SetIfChanged(dialog, ProgressIds::kFigures, run.shown.figures, view.figures);
  const int permille = view.permille < 0 ? 0 : view.permille > 1000 ? 1000 : view.permille;
  if (permille != run.shown.permille) {
    run.shown.permille = permille;
    ::SendDlgItemMessageW(dialog, ProgressIds::kBar, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
  }
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* run = reinterpret_cast<Run*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      run = reinterpret_cast<Run*>(lParam);
      ::SetWindowTextW(dialog, Wide(run->caption).c_str());
      ::SendDlgItemMessageW(dialog, ProgressIds::kBar, PBM_SETRANGE32, 0, 1000);
      ::SetWindowPos(dialog, HWND_TOPMOST, kWindowX, kWindowY, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
      run->feed.Attach(dialog);
      run->worker = std::thread([run, dialog] {
        run->result = run->work(run->feed);
        ::PostMessageW(dialog, kWorkEnded, 0, 0);
      });
      return TRUE;
    }
    case kViewWaiting:
      if (run) Draw(dialog, *run, run->feed.Take());
      return TRUE;
    case kWorkEnded:
      if (run) {
        run->worker.join();
        run->feed.Attach(nullptr);
      }
      ::EndDialog(dialog, 0);
      return TRUE;
    case WM_COMMAND:
      // The Cancel button, Escape and the close box; the work decides when
      // it can stop, and the window stays until it has.
      if (run && LOWORD(wParam) == IDCANCEL && !run->feed.CancelRequested()) {
        run->feed.Cancel();
        ::EnableWindow(::GetDlgItem(dialog, IDCANCEL), FALSE);
        ::SetDlgItemTextW(dialog, ProgressIds::kStep, kCancelling);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

bool RunInProgressWindow(std::u16string_view caption,
                         const std::function<int(IProgressFeed&)>& work, void* module,
                         int& result, uint32_t& lastError) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  if (!::InitCommonControlsEx(&controls)) {
    lastError = ::GetLastError();
    return false;
  }
  HINSTANCE instance = module ? static_cast<HINSTANCE>(module) : ::GetModuleHandleW(nullptr);
  Run run{caption, work, {}, {}, 0, {}};
  ::SetLastError(ERROR_SUCCESS);
  const INT_PTR ended = ::DialogBoxParamW(instance, MAKEINTRESOURCEW(ProgressIds::kResource),
                                          nullptr, ProgressProc, reinterpret_cast<LPARAM>(&run));
  if (ended == -1) {
    lastError = ::GetLastError();
    // The window may have failed after its worker started.
    if (run.worker.joinable()) run.worker.join();
    return false;
  }
  result = run.result;
  return true;
}

}  // namespace VendraUi
