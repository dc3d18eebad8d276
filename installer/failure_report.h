#pragma once

#include <string>
#include <string_view>

#include "client/result.h"
#include "platform/message_box.h"

namespace VendraInstaller {

// The one message box that ends a failed run: caption "Tandory Installer
// failed", the heading, an empty line and the detail.
class FailureReport {
 public:
  explicit FailureReport(VendraPlatform::IMessageBox& box) : box_(box) {}

  // A detail of more than 2047 characters is cut there.
  void Show(std::u16string_view heading, std::u16string_view detail);
  // The detail of a failed call: "Error Code %d\n%ls".
  void ShowFailedCall(std::u16string_view heading, VendraClient::eVClientResult code,
                      const std::u16string& error);

 private:
  VendraPlatform::IMessageBox& box_;
};

}  // namespace VendraInstaller
