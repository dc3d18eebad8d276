#pragma once

#include <string>

#include "client/result.h"

namespace VendraClient {

// A window the program gave its client nothing to show with: NotSupported,
// with a text naming the window.
eVClientResult WindowMissing(const char16_t* window, std::u16string& error);

}  // namespace VendraClient
