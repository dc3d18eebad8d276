#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/text/utf.h"
#include "json/object.h"
#include "tests/ui/fake_client.h"
#include "ui/crash_report_window.h"

namespace VendraUiTest {

enum class Window { Login, Device, Crash };

// The three windows on one backend, with the fake client, their records and
// a crash report.
class WindowsOnBackend {
 public:
  explicit WindowsOnBackend(VendraUi::IDialogBackend& backend)
      : backend_(backend) {
    ShowLoginOn(client, backend, launcher);
    report->SetStringA(u"report", "Access violation at 0x1234");
  }

  VendraClient::eVClientResult Show(Window window, std::u16string& error) {
    switch (window) {
      case Window::Login:
        return VendraUi::ShowLoginWindow(client, {backend_, launcher, login}, error);
      case Window::Device:
        return VendraUi::ShowDeviceAuthorizationWindow(client, {backend_, launcher, device},
                                                       error);
      case Window::Crash:
        return VendraUi::ShowCrashReportWindow(backend_, nullptr, crash, report.get(), error);
    }
    return VendraClient::eVClientResult::Failed;
  }
  // The window's record: its outcome and text.
  std::pair<VendraClient::eVClientResult&, std::u16string&> Record(Window window) {
    if (window == Window::Login) return {login.result, login.error};
    if (window == Window::Device) return {device.result, device.error};
    return {crash.result, crash.error};
  }
  // The report's references besides this holder's own.
  int OtherReportReferences() {
    report->AddRef();
    return report->Release() - 1;
  }

 private:
  VendraUi::IDialogBackend& backend_;

 public:
  RecordingLauncher launcher;
  FakeClient client;
  VendraUi::WindowState login, device;
  VendraUi::CrashWindowState crash;
  Vendra::RefPtr<VendraJSON::VSJObject> report =
      Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
};

// A window that ends without doing its work: cancelled by the person (by
// whatever the backend offers) or never made. Failed means never made.
struct WindowOutcome {
  const char* how;
  Window window;
  std::function<void()> arrange;  // readies the backend for this ending
  VendraClient::eVClientResult result;
  std::u16string text;
  bool intoRecord = false;  // the caller passes the record's own text
};

// Shows each row's window and checks its outcome, that its record holds it
// (a window never made leaves the record as it was), and that nothing was
// sent, noted or kept: no sign-in, no authorisation, no notes on the report,
// and the report let go. after runs last for each row, for the backend's own
// checks.
inline void ExpectOutcomes(WindowsOnBackend& windows, const std::vector<WindowOutcome>& rows,
                           const std::function<void(const WindowOutcome&)>& after = {}) {
  for (const WindowOutcome& row : rows) {
    SCOPED_TRACE(row.how);
    auto [result, text] = windows.Record(row.window);
    result = VendraClient::eVClientResult::Success;
    text = u"earlier";
    row.arrange();
    std::u16string own = u"left over";
    std::u16string& error = row.intoRecord ? text : own;
    EXPECT_EQ(windows.Show(row.window, error), row.result);
    EXPECT_EQ(error, row.text) << VendraText::Utf16ToUtf8(error);
    const bool made = row.result != VendraClient::eVClientResult::Failed;
    EXPECT_EQ(result, made ? row.result : VendraClient::eVClientResult::Success);
    EXPECT_EQ(text, made || row.intoRecord ? row.text : u"earlier");
    EXPECT_TRUE(windows.client.logins.empty());
    EXPECT_TRUE(windows.client.authorizations.empty());
    EXPECT_FALSE(windows.report->Has(u"user_notes"));
    EXPECT_FALSE(windows.crash.report);
    EXPECT_EQ(windows.OtherReportReferences(), 0);
    if (after) after(row);
  }
}

}  // namespace VendraUiTest
