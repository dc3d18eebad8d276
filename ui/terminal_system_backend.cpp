// Systems without a desktop of ours show the dialogs on the terminal.
#include "platform/message_box.h"
#include "platform/terminal.h"
#include "ui/dialog_host.h"
#include "ui/terminal_dialog_backend.h"

namespace VendraUi {

IDialogBackend& SystemDialogBackend() {
  static TerminalDialogBackend backend(VendraPlatform::SystemTerminal(),
                                       VendraPlatform::SystemMessageBox());
  return backend;
}

}  // namespace VendraUi
