// The service client's two sign-in windows, shown by the dialogs of this
// folder on the system's backend.
#include "client/v_client.h"
#include "ui/sign_in_windows.h"

namespace VendraClient {

eVClientResult VClient::ShowDeviceAuthorizationWindow(std::u16string& error) {
  return VendraUi::ShowSystemDeviceAuthorizationWindow(*this, error);
}

eVClientResult VClient::ShowLoginWindow(std::u16string& error) {
  return VendraUi::ShowSystemLoginWindow(*this, error);
}

}  // namespace VendraClient
