#include "ui/login_dialog.h"

#include "common/memory/wipe.h"
#include "common/text/utf.h"
#include "ui/control_text.h"
#include "ui/dialog_ids.h"
#include "ui/vendor_site.h"

namespace VendraUi {
namespace {

using VendraClient::eVClientResult;
namespace Ids = LoginIds;

constexpr SessionLength kSessionLengths[] = {
    {u"1 day", 86400, false},
    {u"180 days", 15552000, true},
    {u"1 year", 31536000, false},
};
constexpr uint32_t kDefaultSessionSeconds = 15552000;

constexpr char16_t kErrorCaption[] = u"Error";
constexpr char16_t kNeedUserName[] = u"You must enter a username";
constexpr char16_t kNeedPassword[] = u"You must enter a password";
constexpr char16_t kCancelled[] = u"User clicked Cancel in Login window";

}  // namespace

std::span<const SessionLength> SessionLengths() { return kSessionLengths; }

bool LoginDialog::OnInit(IDialogHost& host) {
  host.PlaceOnTop(kWindowX, kWindowY);
  host.Focus(Ids::kUserName);
  for (const SessionLength& length : kSessionLengths) {
    const int index = host.AddComboEntry(Ids::kSessionLength, length.text);
    if (index < 0) continue;
    host.SetComboItemData(Ids::kSessionLength, index, length.seconds);
    if (length.selectedAtStart) host.SelectComboEntry(Ids::kSessionLength, index);
  }
  return true;
}

void LoginDialog::OnCommand(IDialogHost& host, int id) {
  switch (id) {
    case kIdOk:
      Submit(host);
      break;
    case kIdCancel:
      state_.result = eVClientResult::LoginCancelled;
      state_.error = kCancelled;
      host.End(kEndCancel);
      break;
    case Ids::kAccountManagement:
      OpenAccountPage(launcher_, host);
      break;
    default:
      break;
  }
}

void LoginDialog::Submit(IDialogHost& host) {
  std::u16string user = ReadControlText(host, Ids::kUserName);
  std::u16string password = ReadControlText(host, Ids::kPassword);
  if (user.empty()) {
    Vendra::WipeText(password);
    host.ShowMessage(MessageOwner::None, kErrorCaption, kNeedUserName);
    return;
  }
  if (password.empty()) {
    host.ShowMessage(MessageOwner::None, kErrorCaption, kNeedPassword);
    return;
  }
  const uint32_t seconds = ChosenSessionSeconds(host);
  state_.result = client_.LoginW(user, password, false, seconds, state_.error);
  Vendra::WipeText(password);
  host.End(kEndOk);
}

// The list has an edit field, so a typed text may select no entry; a text
// that names an entry counts as choosing it, anything else keeps the
// default rather than sending a length nobody chose.
uint32_t LoginDialog::ChosenSessionSeconds(IDialogHost& host) {
  const int selected = host.SelectedComboEntry(Ids::kSessionLength);
  if (selected >= 0)
    return static_cast<uint32_t>(host.ComboItemData(Ids::kSessionLength, selected));
  const std::u16string typed = ReadControlText(host, Ids::kSessionLength);
  for (const SessionLength& length : kSessionLengths)
    if (VendraText::EqualsIgnoreAsciiCase(typed, length.text)) return length.seconds;
  return kDefaultSessionSeconds;
}

}  // namespace VendraUi
