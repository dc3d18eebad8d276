#pragma once

#include "client/iv_client.h"
#include "platform/launcher.h"
#include "ui/dialog_host.h"
#include "ui/window_state.h"

namespace VendraUi {

// The Device Authorisation window: names this computer, takes a one-time
// code (from an authenticator or sent by e-mail from here) and makes one
// authorisation attempt; "Not you?" switches to another account.
class DeviceAuthorizationDialog final : public IDialogLogic {
 public:
  DeviceAuthorizationDialog(VendraClient::IVClient& client, VendraPlatform::ILauncher& launcher,
                            WindowState& state)
      : client_(client), launcher_(launcher), state_(state) {}

  bool OnInit(IDialogHost& host) override;
  void OnCommand(IDialogHost& host, int id) override;

 private:
  void Submit(IDialogHost& host);
  void SendCodeByEmail(IDialogHost& host);
  void SwitchAccount(IDialogHost& host);

  VendraClient::IVClient& client_;
  VendraPlatform::ILauncher& launcher_;
  WindowState& state_;
};

}  // namespace VendraUi
