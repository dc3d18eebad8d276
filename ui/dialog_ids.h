#pragma once

// Resource numbers and control IDs of the dialogs, shared by the templates,
// the dialog logic and the tests.
namespace VendraUi {

// Buttons every dialog has; Enter presses the first, Escape and the close box
// the second.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// What a dialog ends with.
inline constexpr int kEndOk = 1;
inline constexpr int kEndCancel = 2;

namespace LoginIds {
inline constexpr int kResource = 101;
inline constexpr int kUserName = 1001;
inline constexpr int kPassword = 1002;
inline constexpr int kAccountManagement = 1008;
inline constexpr int kSessionLength = 1009;
}  // namespace LoginIds

namespace DeviceIds {
inline constexpr int kResource = 105;
inline constexpr int kCode = 1001;
inline constexpr int kDeviceName = 1002;
inline constexpr int kSendEmail = 1003;
inline constexpr int kAccountSettings = 1004;
inline constexpr int kUserName = 1014;
inline constexpr int kNotYou = 1015;
}  // namespace DeviceIds

namespace CrashIds {
inline constexpr int kResource = 102;
inline constexpr int kReport = 1006;
inline constexpr int kNotes = 1007;
}  // namespace CrashIds

namespace ProgressIds {
inline constexpr int kResource = 107;
inline constexpr int kStep = 1020;
inline constexpr int kFile = 1021;
inline constexpr int kBar = 1022;
inline constexpr int kFigures = 1023;
}  // namespace ProgressIds

// Where the dialogs place themselves on the screen, in pixels.
inline constexpr int kWindowX = 320;
inline constexpr int kWindowY = 240;

}  // namespace VendraUi
