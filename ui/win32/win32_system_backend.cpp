// Win32 backend only: Windows always has a desktop, so the dialogs are real
// windows.
#include "ui/dialog_host.h"
#include "ui/win32/win32_dialog_backend.h"

namespace VendraUi {

IDialogBackend& SystemDialogBackend() {
  static Win32DialogBackend backend;
  return backend;
}

}  // namespace VendraUi
