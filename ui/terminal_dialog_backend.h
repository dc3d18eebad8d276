#pragma once

#include "platform/message_box.h"
#include "platform/terminal.h"
#include "ui/dialog_host.h"

namespace VendraUi {

// Dialogs on a text terminal, driven line by line so that people and scripts
// can both use them. Each round prints the caption, the texts (the first
// round only) and the read-only boxes, then asks one line per editable
// control in template order (an empty line keeps the current text; a list
// takes an entry's text or number), then one line naming a button by its
// number, its text or a unique prefix (empty: the default button). End of
// input presses Cancel. A multi-line edit box takes one line too: the
// terminal has no way to end a text of several lines that a script could
// share. Message boxes go to the message box given.
class TerminalDialogBackend final : public IDialogBackend {
 public:
  TerminalDialogBackend(VendraPlatform::ITerminal& terminal,
                        VendraPlatform::IMessageBox& messages)
      : terminal_(terminal), messages_(messages) {}

  bool Run(const DialogTemplate& dialog, IDialogLogic& logic, void* module,
           uint32_t& lastError) override;

 private:
  VendraPlatform::ITerminal& terminal_;
  VendraPlatform::IMessageBox& messages_;
};

}  // namespace VendraUi
