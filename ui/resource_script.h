#pragma once

#include <span>
#include <string>

#include "ui/dialog_template.h"

namespace VendraUi {

// The Windows resource script (UTF-8) that holds the templates as dialog
// resources, one DIALOGEX each, in the order given.
std::string RenderResourceScript(std::span<const DialogTemplate* const> dialogs);

// A text as a resource-script string literal with its quotes.
std::string ResourceString(std::u16string_view text);

}  // namespace VendraUi
