#pragma once

#include <string>

#include "ui/dialog_host.h"

namespace VendraUi {

// A control's whole text, read through a temporary buffer that is wiped
// before it is freed (passwords pass through it). No trimming.
std::u16string ReadControlText(IDialogHost& host, int id);

}  // namespace VendraUi
