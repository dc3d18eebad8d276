#include "ui/device_authorization_dialog.h"

#include "common/memory/wipe.h"
#include "common/text/format.h"
#include "ui/control_text.h"
#include "ui/dialog_ids.h"
#include "ui/vendor_site.h"

namespace VendraUi {
namespace {

using VendraClient::eVClientResult;
namespace Ids = DeviceIds;

constexpr char16_t kNeedNameCaption[] = u"Please enter a Device Name";
constexpr char16_t kNeedName[] =
    u"Your device cannot be authorized without a name for you to recognize the device. "
    u"Any name will do!";
constexpr char16_t kNeedCodeCaption[] = u"Please enter an Auth code";
constexpr char16_t kNeedCode[] =
    u"Your device cannot be authorized without a valid code provided by Authenticator or via "
    u"e-mail!";
constexpr char16_t kEmailFailedCaption[] =
    u"Failed: New Device Authorization e-mail could not be sent.";
constexpr char16_t kEmailSentCaption[] = u"Success: New Device Authorization e-mail sent!";
constexpr char16_t kCancelled[] = u"User clicked Cancel in Device Authorization window";

std::u16string EmailSentText() {
  return VendraText::Format(
      u"Please check the e-mail address on your %ls account. You should receive an e-mail "
      u"within a few minutes, containing a code to enter here.",
      kSiteName);
}

}  // namespace

bool DeviceAuthorizationDialog::OnInit(IDialogHost& host) {
  host.PlaceOnTop(kWindowX, kWindowY);
  // The error texts of these two are not shown: the boxes stay as filled.
  std::u16string ignored;
  std::u16string deviceName;
  client_.GetDeviceName(deviceName, ignored);
  host.SetText(Ids::kDeviceName, deviceName);
  std::u16string user;
  client_.GetUsername(user, ignored);
  host.SetText(Ids::kUserName, user);
  return false;
}

void DeviceAuthorizationDialog::OnCommand(IDialogHost& host, int id) {
  switch (id) {
    case kIdOk:
      Submit(host);
      break;
    case kIdCancel:
      state_.result = eVClientResult::Cancelled;
      state_.error = kCancelled;
      host.End(kEndCancel);
      break;
    case Ids::kSendEmail:
      SendCodeByEmail(host);
      break;
    case Ids::kAccountSettings:
      OpenAccountPage(launcher_, host);
      break;
    case Ids::kNotYou:
      SwitchAccount(host);
      break;
    default:
      break;
  }
}

void DeviceAuthorizationDialog::Submit(IDialogHost& host) {
  const std::u16string deviceName = ReadControlText(host, Ids::kDeviceName);
  if (deviceName.empty()) {
    host.Focus(Ids::kDeviceName);
    host.ShowMessage(MessageOwner::Dialog, kNeedNameCaption, kNeedName);
    return;
  }
  std::u16string code = ReadControlText(host, Ids::kCode);
  if (code.empty()) {
    host.Focus(Ids::kCode);
    host.ShowMessage(MessageOwner::Dialog, kNeedCodeCaption, kNeedCode);
    return;
  }
  state_.result = client_.AuthorizeDevice(code, deviceName, state_.error);
  Vendra::WipeText(code);
  host.End(kEndOk);
}

void DeviceAuthorizationDialog::SendCodeByEmail(IDialogHost& host) {
  std::u16string error;
  if (client_.EmailDeviceCode(error) != eVClientResult::Success)
    host.ShowMessage(MessageOwner::Dialog, kEmailFailedCaption, error);
  else
    host.ShowMessage(MessageOwner::Dialog, kEmailSentCaption, EmailSentText());
}

void DeviceAuthorizationDialog::SwitchAccount(IDialogHost& host) {
  std::u16string error;
  eVClientResult result = client_.Logout(error);
  if (result != eVClientResult::Success) {
    state_.result = result;
    state_.error = VendraText::Format(u"Logout failed (%d): %ls", result, error);
    host.End(kEndOk);
    return;
  }
  error.clear();
  result = client_.ShowLoginWindow(error);
  if (result != eVClientResult::Success) {
    state_.result = result;
    state_.error = VendraText::Format(u"Login failed (%d): %ls", result, error);
    host.End(kEndOk);
    return;
  }
  std::u16string user;
  client_.GetUsername(user, error);
  host.SetText(Ids::kUserName, user);
}

}  // namespace VendraUi
