// How each window ends without doing its work, on the scripted backend.
#include "tests/ui/window_outcomes.h"

#include "ui/dialog_ids.h"

using namespace VendraUi;
using namespace VendraUiTest;
using VendraClient::eVClientResult;

TEST(ScriptedWindowOutcomes, CancelAndNoWindowOfEachWindow) {
  ScriptedBackend backend;
  WindowsOnBackend windows(backend);
  // Cancel after typing into the window: what was typed goes nowhere.
  const auto cancel = [&](int box) {
    return [&backend, box] { backend.Then(TypeAndPress({{box, u"typed"}}, kIdCancel)); };
  };
  const auto noWindow = [&](uint32_t lastError) {
    return [&backend, lastError] { backend.FailNext(lastError); };
  };
  const char16_t loginCancel[] = u"User clicked Cancel in Login window";
  const char16_t deviceCancel[] = u"User clicked Cancel in Device Authorization window";
  const char16_t crashCancel[] = u"User clicked Cancel in Crash Report window";
  ExpectOutcomes(
      windows,
      {
          {"login cancel", Window::Login, cancel(LoginIds::kUserName),
           eVClientResult::LoginCancelled, loginCancel},
          {"login cancel into the record", Window::Login, cancel(LoginIds::kPassword),
           eVClientResult::LoginCancelled, loginCancel, true},
          {"login no window", Window::Login, noWindow(1400), eVClientResult::Failed,
           u"Failed to create Vendra Login window: GetLastError=1400"},
          {"device cancel", Window::Device, cancel(DeviceIds::kCode), eVClientResult::Cancelled,
           deviceCancel},
          {"device cancel into the record", Window::Device, cancel(DeviceIds::kDeviceName),
           eVClientResult::Cancelled, deviceCancel, true},
          {"device no window", Window::Device, noWindow(8), eVClientResult::Failed,
           u"Failed to create Device Auth window: GetLastError=8"},
          {"crash decline", Window::Crash, cancel(CrashIds::kNotes), eVClientResult::Cancelled,
           crashCancel},
          {"crash decline into the record", Window::Crash, cancel(CrashIds::kNotes),
           eVClientResult::Cancelled, crashCancel, true},
          {"crash no window", Window::Crash, noWindow(1813), eVClientResult::Failed,
           u"Failed to create Vendra Crash window: GetLastError=1813"},
      },
      [&](const WindowOutcome& row) {
        if (row.result != eVClientResult::Failed) {
          EXPECT_EQ(backend.shown.back().endCode, kEndCancel);
        }
      });
  EXPECT_EQ(backend.pending(), 0u);
}
