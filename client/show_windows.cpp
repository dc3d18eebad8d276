// The client's windows, shown by whatever the program handed it at start.
#include "client/show_windows.h"

#include "client/v_client.h"
#include "common/text/format.h"

namespace VendraClient {

eVClientResult WindowMissing(const char16_t* window, std::u16string& error) {
  error = VendraText::Format(u"This program cannot show the %ls window", window);
  return eVClientResult::NotSupported;
}

eVClientResult VClient::ShowDeviceAuthorizationWindow(std::u16string& error) {
  if (!windows_) return WindowMissing(u"Device Authorization", error);
  return windows_->ShowDeviceAuthorizationWindow(*this, error);
}

eVClientResult VClient::ShowLoginWindow(std::u16string& error) {
  if (!windows_) return WindowMissing(u"Login", error);
  return windows_->ShowLoginWindow(*this, error);
}

}  // namespace VendraClient
