#include "ui/dialog_templates.h"

#include "ui/dialog_ids.h"
#include "ui/vendor_site.h"

namespace VendraUi {
namespace {

using K = ControlKind;
constexpr std::u16string_view kShellFont = u"MS Shell Dlg";

// A one-line label drops a word that does not fit rather than cut it, and the
// shell font is a different face on every system. Labels therefore take the
// room beside them (reaching left towards the margin, or right to the width of
// the boxes below) so that wider faces than the layout was drawn with still
// show every word.
constexpr ControlTemplate kLoginControls[] = {
    {kIdOk, K::DefaultPushButton, u"OK", 174, 30, 50, 14, kStyleNone},
    {kIdCancel, K::PushButton, u"Cancel", 229, 30, 50, 14, kStyleNone},
    {LoginIds::kUserName, K::Edit, u"", 42, 30, 121, 14, kAutoHScroll},
    {LoginIds::kPassword, K::Edit, u"", 42, 48, 121, 14, kPassword | kAutoHScroll},
    {kNoControlId, K::Static, u"Username", 7, 30, 33, 8, kStyleNone},
    {kNoControlId, K::Static, u"Password", 7, 48, 32, 8, kStyleNone},
    {kNoControlId, K::Static,
     u"Please enter your Vendra Software login information as used on the Vendra Software "
     u"\"My Account\" section at " VENDRA_SITE_DOMAIN,
     7, 7, 272, 20, kCentered},
    {LoginIds::kAccountManagement, K::PushButton, u"Account Management", 183, 48, 84, 14,
     kStyleNone},
    {LoginIds::kSessionLength, K::ComboBox, u"", 103, 66, 60, 74, kDropDown | kVerticalScroll},
    {kNoControlId, K::Static, u"Keep me logged in for", 19, 68, 80, 8, kStyleNone},
};

constexpr ControlTemplate kDeviceControls[] = {
    {kNoControlId, K::Static, u"Vendra Software username:", 23, 8, 100, 8, kStyleNone},
    {DeviceIds::kUserName, K::Edit, u"", 131, 7, 98, 14, kReadOnly | kAutoHScroll},
    {DeviceIds::kNotYou, K::PushButton, u"Not you?", 236, 7, 43, 14, kStyleNone},
    {kNoControlId, K::Static, u"A name to remember this device by:", 7, 31, 122, 8, kStyleNone},
    {DeviceIds::kDeviceName, K::Edit, u"", 131, 29, 148, 14, kAutoHScroll},
    {kNoControlId, K::Static,
     u"A code is required to authorize your device.\n\nIf you have an Authenticator added to "
     u"your Vendra Software account, please enter the code now.\n\nOtherwise, please click to "
     u"Send a code via E-mail.",
     7, 47, 295, 58, kStyleNone},
    {kNoControlId, K::Static, u"Authenticator/E-mail code:", 38, 109, 86, 8, kStyleNone},
    {DeviceIds::kCode, K::Edit, u"", 133, 106, 148, 14, kAutoHScroll},
    {DeviceIds::kSendEmail, K::PushButton, u"Send me a code via E-mail", 13, 124, 107, 14,
     kStyleNone},
    {DeviceIds::kAccountSettings, K::PushButton, u"Account Settings", 125, 124, 68, 14,
     kStyleNone},
    {kIdOk, K::DefaultPushButton, u"OK", 198, 124, 50, 14, kStyleNone},
    {kIdCancel, K::PushButton, u"Cancel", 252, 124, 50, 14, kStyleNone},
};

constexpr ControlTemplate kCrashControls[] = {
    {kNoControlId, K::Static,
     u"A crash has been detected in our software.  Please let us know about it!  Below is the "
     u"information that will be sent, if you select \"Report Error\"",
     7, 7, 476, 8, kStyleNone},
    {CrashIds::kReport, K::Edit, u"", 7, 19, 476, 186, kMultiLine | kReadOnly | kVerticalScroll},
    {kNoControlId, K::Static,
     u"What were you doing when this crash occurred? (If you're up to it, exactly how do we "
     u"reproduce it?)",
     7, 209, 476, 8, kStyleNone},
    {CrashIds::kNotes, K::Edit, u"", 7, 221, 476, 43, kMultiLine | kWantReturn | kVerticalScroll},
    {kIdCancel, K::PushButton, u"Heck No!", 378, 269, 50, 14, kStyleNone},
    {kIdOk, K::DefaultPushButton, u"Report Error", 433, 269, 50, 14, kStyleNone},
};

constexpr DialogTemplate kLogin{LoginIds::kResource, u"Vendra Software", kShellFont, 8, 285, 86,
                                kLoginControls, false};
constexpr DialogTemplate kDevice{DeviceIds::kResource,
                                 u"Vendra Software - New Device Authorization",
                                 kShellFont,
                                 8,
                                 309,
                                 145,
                                 kDeviceControls,
                                 false};

constexpr DialogTemplate kCrash{CrashIds::kResource, u"Vendra Software Crash Reporter", kShellFont,
                                8, 490, 290, kCrashControls, false};

// The texts change as the work goes on: the amounts line has room for the
// longest one ("100%  1023.9 MB of 1023.9 MB  1023.9 MB/s  59 min left"),
// a file name too long for its line loses its middle, and no text is read
// for keyboard mnemonics. Cancel is no default button, so that Enter does
// not stop an install.
constexpr ControlTemplate kProgressControls[] = {
    {ProgressIds::kStep, K::Static, u"Preparing", 7, 7, 296, 8, kNoPrefix},
    {ProgressIds::kFile, K::Static, u"", 7, 19, 296, 8, kNoPrefix | kPathEllipsis},
    {ProgressIds::kBar, K::ProgressBar, u"", 7, 32, 296, 12, kStyleNone},
    {ProgressIds::kFigures, K::Static, u"", 7, 50, 240, 8, kNoPrefix},
    {kIdCancel, K::PushButton, u"Cancel", 253, 47, 50, 14, kStyleNone},
};

constexpr DialogTemplate kProgress{ProgressIds::kResource, u"Vendra Software", kShellFont, 8,
                                   310, 68, kProgressControls, true};

constexpr const DialogTemplate* kAll[] = {&kLogin, &kCrash, &kDevice, &kProgress};

}  // namespace

const DialogTemplate& LoginTemplate() { return kLogin; }
const DialogTemplate& DeviceAuthorizationTemplate() { return kDevice; }
const DialogTemplate& CrashReportTemplate() { return kCrash; }
const DialogTemplate& ProgressTemplate() { return kProgress; }
std::span<const DialogTemplate* const> AllTemplates() { return kAll; }

}  // namespace VendraUi
