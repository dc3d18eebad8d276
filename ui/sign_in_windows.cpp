#include "ui/sign_in_windows.h"

#include "common/text/format.h"
#include "ui/device_authorization_dialog.h"
#include "ui/dialog_templates.h"
#include "ui/login_dialog.h"

namespace VendraUi {
namespace {

using VendraClient::eVClientResult;

// The outcome text is at most what fits a 128-unit buffer with its
// terminator.
constexpr size_t kCreateFailureMax = 127;

eVClientResult Show(VendraClient::IVClient& client, const WindowServices& services,
                    const DialogTemplate& dialog, IDialogLogic& logic,
                    const char16_t* createFailure, std::u16string& error) {
  uint32_t lastError = 0;
  if (!services.backend.Run(dialog, logic, client.GetModuleInstance(), lastError)) {
    error = VendraText::Format(createFailure, static_cast<int32_t>(lastError)).substr(0, kCreateFailureMax);
    return eVClientResult::Failed;
  }
  if (&error != &services.state.error) error = services.state.error;
  return services.state.result;
}

}  // namespace

eVClientResult ShowLoginWindow(VendraClient::IVClient& client, const WindowServices& services,
                               std::u16string& error) {
  LoginDialog logic(client, services.launcher, services.state);
  return Show(client, services, LoginTemplate(), logic,
              u"Failed to create Vendra Login window: GetLastError=%d", error);
}

eVClientResult ShowDeviceAuthorizationWindow(VendraClient::IVClient& client,
                                             const WindowServices& services,
                                             std::u16string& error) {
  DeviceAuthorizationDialog logic(client, services.launcher, services.state);
  return Show(client, services, DeviceAuthorizationTemplate(), logic,
              u"Failed to create Device Auth window: GetLastError=%d", error);
}

eVClientResult SystemSignInWindows::ShowLoginWindow(VendraClient::IVClient& client,
                                                    std::u16string& error) {
  return VendraUi::ShowLoginWindow(
      client, {SystemDialogBackend(), VendraPlatform::SystemLauncher(), LoginWindowState()},
      error);
}

eVClientResult SystemSignInWindows::ShowDeviceAuthorizationWindow(VendraClient::IVClient& client,
                                                                  std::u16string& error) {
  return VendraUi::ShowDeviceAuthorizationWindow(
      client,
      {SystemDialogBackend(), VendraPlatform::SystemLauncher(), DeviceAuthorizationWindowState()},
      error);
}

}  // namespace VendraUi
