#pragma once

#include <string>

#include "ui/dialog_host.h"

namespace VendraUi {

// A control's whole text, read through a temporary buffer that is wiped
// before it is freed (passwords pass through it). No trimming.
std::u16string ReadControlText(IDialogHost& host, int id);

// Overwrites the text's units with zeros and empties it.
void WipeText(std::u16string& text);

}  // namespace VendraUi
