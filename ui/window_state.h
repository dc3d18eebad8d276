#pragma once

#include <string>

#include "client/result.h"

namespace VendraUi {

// A dialog's outcome, kept for the whole run: a new record starts with the
// job state 2 and no text; each showing overwrites it when the user finishes.
struct WindowState {
  VendraClient::eVClientResult result = VendraClient::eVClientResult::Running;  // the outcome
  std::u16string error;  // the outcome's text
};

// The process-wide records of the two sign-in windows, made on first use and
// never freed, so their outcome outlives every showing.
WindowState& LoginWindowState();
// The Device Authorisation window's record (see LoginWindowState).
WindowState& DeviceAuthorizationWindowState();

}  // namespace VendraUi
