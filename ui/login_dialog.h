#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "client/iv_client.h"
#include "platform/launcher.h"
#include "ui/dialog_host.h"
#include "ui/window_state.h"

namespace VendraUi {

// One choice of the session-length list: its text and the session's length
// in seconds, which the entry carries as item data.
struct SessionLength {
  std::u16string_view text;
  uint32_t seconds;
  bool selectedAtStart;
};
std::span<const SessionLength> SessionLengths();

// The Login window: one sign-in attempt with the typed user name and
// password, whose result becomes the window's outcome.
class LoginDialog final : public IDialogLogic {
 public:
  LoginDialog(VendraClient::IVClient& client, VendraPlatform::ILauncher& launcher,
              WindowState& state)
      : client_(client), launcher_(launcher), state_(state) {}

  bool OnInit(IDialogHost& host) override;
  void OnCommand(IDialogHost& host, int id) override;

 private:
  void Submit(IDialogHost& host);
  uint32_t ChosenSessionSeconds(IDialogHost& host);

  VendraClient::IVClient& client_;
  VendraPlatform::ILauncher& launcher_;
  WindowState& state_;
};

}  // namespace VendraUi
