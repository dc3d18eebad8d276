#pragma once

#include <string>

#include "client/client_windows.h"
#include "client/iv_client.h"
#include "platform/launcher.h"
#include "ui/dialog_host.h"
#include "ui/window_state.h"

namespace VendraUi {

// What the sign-in windows are shown with: the backend that draws them, the
// launcher that opens the account page, and the record of their outcome.
struct WindowServices {
  IDialogBackend& backend;              // draws the windows
  VendraPlatform::ILauncher& launcher;  // opens the account page
  WindowState& state;                   // receives the outcome
};

// Shows the Login window modally and answers its outcome: the sign-in
// attempt's result and text, -109 when cancelled, or -1 when no window could
// be made.
VendraClient::eVClientResult ShowLoginWindow(VendraClient::IVClient& client,
                                             const WindowServices& services,
                                             std::u16string& error);

// Shows the Device Authorisation window modally and answers its outcome:
// the authorisation attempt's result and text, -5 when cancelled, the
// failure of an account switch, or -1 when no window could be made.
VendraClient::eVClientResult ShowDeviceAuthorizationWindow(VendraClient::IVClient& client,
                                                           const WindowServices& services,
                                                           std::u16string& error);

// The same on this system's backend and launcher with the process-wide
// records: what a program that shows the windows hands its client.
class SystemSignInWindows final : public VendraClient::IVClientWindows {
 public:
  // The Login window on this system's backend; see IVClientWindows.
  VendraClient::eVClientResult ShowLoginWindow(VendraClient::IVClient& client,
                                               std::u16string& error) override;
  // The Device Authorisation window on this system's backend; see
  // IVClientWindows.
  VendraClient::eVClientResult ShowDeviceAuthorizationWindow(VendraClient::IVClient& client,
                                                             std::u16string& error) override;
};

}  // namespace VendraUi
