#pragma once

#include "ui/dialog_host.h"

namespace VendraUi {

// Real modal dialog boxes made from the program's dialog resources, each
// placed topmost at its screen position, with Enter, Escape and the close
// box arriving as the OK and Cancel commands.
class Win32DialogBackend final : public IDialogBackend {
 public:
  bool Run(const DialogTemplate& dialog, IDialogLogic& logic, void* module,
           uint32_t& lastError) override;
};

}  // namespace VendraUi
