// The dialogs as real windows made from the program's resources, driven
// from a second thread the way a person would: typing into the boxes,
// pressing buttons, Enter, Escape and the close box. Screenshots of both
// windows go to VENDRA_SCREENSHOT_DIR when it is set.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/ui/fake_client.h"
#include "tests/ui/win32/png_file.h"
#include "tests/ui/window_outcomes.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "ui/crash_report_window.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_templates.h"
#include "ui/progress_window.h"
#include "ui/win32/win32_dialog_backend.h"

using namespace VendraUi;
using namespace VendraUiTest;
using VendraClient::eVClientResult;

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kLoginCaption[] = L"Vendra Software";
constexpr wchar_t kDeviceCaption[] = L"Vendra Software - New Device Authorization";
// The text control of a message box.
constexpr int kMessageBoxText = 0xFFFF;

HWND WaitForWindow(const wchar_t* caption, int seconds = 30) {
  for (int i = 0; i < seconds * 20; ++i) {
    HWND w = ::FindWindowW(kDialogClass, caption);
    if (w && ::IsWindowVisible(w)) return w;
    ::Sleep(50);
  }
  return nullptr;
}

bool WaitGone(HWND w, int seconds = 30) {
  for (int i = 0; i < seconds * 20 && ::IsWindow(w); ++i) ::Sleep(50);
  return !::IsWindow(w);
}

std::wstring TextOf(HWND w) {
  wchar_t buffer[1024] = {};
  ::SendMessageW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

std::wstring ClassOf(HWND w) {
  wchar_t buffer[64] = {};
  ::GetClassNameW(w, buffer, 64);
  return buffer;
}

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
std::u16string Wide16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

void Type(HWND dialog, int id, const wchar_t* text) {
  ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Press(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void Key(HWND control, WPARAM key) {
  ::PostMessageW(control, WM_KEYDOWN, key, 1);
  ::PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// A message box as it was found: its text, owner and place on the screen.
struct Box {
  std::wstring text;
  HWND owner = nullptr;
  RECT rect{};
  bool found = false;
};
// The screen's pixels in r, as a PNG in VENDRA_SCREENSHOT_DIR.
void Screenshot(RECT r, const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"VENDRA_SCREENSHOT_DIR", folder, MAX_PATH) == 0) return;
  ::CreateDirectoryW(folder, nullptr);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  ::GdiFlush();
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  const auto* px = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < width * height; ++i) {
    rgb.push_back(px[i * 4 + 2]);
    rgb.push_back(px[i * 4 + 1]);
    rgb.push_back(px[i * 4 + 0]);
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  EXPECT_TRUE(WritePng(std::wstring(folder) + L"\\" + name, static_cast<uint32_t>(width),
                       static_cast<uint32_t>(height), rgb));
}

// The window as it is on the screen, its title bar included.
void Screenshot(HWND w, const wchar_t* name) {
  ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  ::Sleep(500);
  RECT r;
  ::GetWindowRect(w, &r);
  Screenshot(r, name);
}

// The room text needs in a control, drawn in the control's own font as the
// control draws it: labels wrap at word boundaries, buttons keep one line.
SIZE TextRoom(HWND control, UINT format) {
  const std::wstring text = TextOf(control);
  HDC dc = ::GetDC(control);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT client;
  ::GetClientRect(control, &client);
  RECT need = {0, 0, client.right, 0};
  ::DrawTextW(dc, text.c_str(), -1, &need, format | DT_CALCRECT);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return {need.right, need.bottom};
}

// A label shows its whole text: a word that does not fit on the last line is
// not drawn at all.
void ExpectWholeText(HWND control, const ControlTemplate& c) {
  RECT client;
  ::GetClientRect(control, &client);
  const bool label = c.kind == ControlKind::Static;
  const SIZE need = TextRoom(control, label ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE);
  // A push button's frame and focus rectangle take a few pixels each side.
  const LONG width = label ? client.right : client.right - 6;
  EXPECT_LE(need.cx, width) << VendraText::Utf16ToUtf8(c.text);
  EXPECT_LE(need.cy, client.bottom) << VendraText::Utf16ToUtf8(c.text) << ": needs " << need.cx
                                    << "x" << need.cy << " pixels, has " << client.right << "x"
                                    << client.bottom;
}

// Every control of the window, in template order, is the template's: same
// ID, class, text (except what the dialog fills in) and place.
// A caption given replaces the template's (a window that names its work).
void ExpectMatchesTemplate(HWND dialog, const DialogTemplate& t, const wchar_t* caption = nullptr) {
  std::vector<HWND> children;
  for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  ASSERT_EQ(children.size(), t.controls.size());
  EXPECT_EQ(TextOf(dialog), caption ? std::wstring(caption) : Wide(t.caption));
  for (size_t i = 0; i < children.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    HWND w = children[i];
    EXPECT_EQ(static_cast<int>(static_cast<short>(::GetDlgCtrlID(w))), c.id) << i;
    const std::wstring cls = ClassOf(w);
    switch (c.kind) {
      case ControlKind::PushButton:
      case ControlKind::DefaultPushButton:
        EXPECT_EQ(_wcsicmp(cls.c_str(), L"Button"), 0) << i;
        EXPECT_EQ(TextOf(w), Wide(c.text));
        ExpectWholeText(w, c);
        EXPECT_EQ((::GetWindowLongW(w, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON,
                  c.kind == ControlKind::DefaultPushButton)
            << i;
        break;
      case ControlKind::Static:
        EXPECT_EQ(_wcsicmp(cls.c_str(), L"Static"), 0) << i;
        EXPECT_EQ(TextOf(w), Wide(c.text));
        ExpectWholeText(w, c);
        break;
      case ControlKind::Edit:
        EXPECT_EQ(_wcsicmp(cls.c_str(), L"Edit"), 0) << i;
        EXPECT_EQ((::GetWindowLongW(w, GWL_STYLE) & ES_PASSWORD) != 0, c.Has(kPassword)) << i;
        EXPECT_EQ((::GetWindowLongW(w, GWL_STYLE) & ES_READONLY) != 0, c.Has(kReadOnly)) << i;
        EXPECT_EQ((::GetWindowLongW(w, GWL_STYLE) & ES_AUTOHSCROLL) != 0, c.Has(kAutoHScroll));
        break;
      case ControlKind::ComboBox:
        EXPECT_EQ(_wcsicmp(cls.c_str(), L"ComboBox"), 0) << i;
        EXPECT_EQ(::GetWindowLongW(w, GWL_STYLE) & 3, CBS_DROPDOWN) << i;
        break;
      case ControlKind::ProgressBar:
        EXPECT_EQ(_wcsicmp(cls.c_str(), L"msctls_progress32"), 0) << i;
        break;
    }
    // The dialog manager converts position and size separately.
    RECT expected = {c.x, c.y, c.width, c.height};
    ::MapDialogRect(dialog, &expected);
    RECT actual;
    ::GetWindowRect(w, &actual);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left) << i;
    EXPECT_EQ(actual.top, expected.top) << i;
    EXPECT_EQ(actual.right - actual.left, expected.right) << i;
    // A combo box's height in the template includes its open list.
    if (c.kind != ControlKind::ComboBox) {
      EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << i;
    }
  }
}

// Closes a message box with its OK button; its text, owner and place. With a
// file name, a screenshot of the box over its owner goes there first.
Box CloseMessageBox(const wchar_t* caption, const wchar_t* screenshotWithOwner = nullptr) {
  Box box;
  HWND w = WaitForWindow(caption);
  if (!w) return box;
  box.found = true;
  box.text = TextOf(::GetDlgItem(w, kMessageBoxText));
  box.owner = ::GetWindow(w, GW_OWNER);
  // The box may be moved as it is activated; its place is read once settled.
  ::Sleep(300);
  ::GetWindowRect(w, &box.rect);
  if (screenshotWithOwner) {
    RECT owner, both;
    ::GetWindowRect(box.owner, &owner);
    ::UnionRect(&both, &owner, &box.rect);
    Screenshot(both, screenshotWithOwner);
  }
  ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WaitGone(w);
  return box;
}

// A box that a dialog owns leaves the dialog's buttons in view.
void ExpectButtonsUncovered(HWND dialog, const Box& box) {
  int buttons = 0;
  for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassOf(c).c_str(), L"Button") != 0) continue;
    ++buttons;
    RECT button, overlap;
    ::GetWindowRect(c, &button);
    EXPECT_FALSE(::IntersectRect(&overlap, &button, &box.rect)) << "covers " << ::GetDlgCtrlID(c);
  }
  EXPECT_GT(buttons, 0);
}

void ExpectPlacedOnTop(HWND dialog) {
  RECT r;
  ::GetWindowRect(dialog, &r);
  EXPECT_EQ(r.left, 320);
  EXPECT_EQ(r.top, 240);
  EXPECT_NE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

class Win32DialogTest : public ::testing::Test {
 protected:
  Win32DialogTest() { ShowLoginOn(client, backend, launcher); }
  // Shows a window on this thread while drive works it from another; any
  // window drive leaves open is cancelled so that the test ends.
  eVClientResult Driven(std::function<eVClientResult()> show,
                        std::function<void(DWORD uiThread)> drive) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([&] {
      drive(uiThread);
      for (const wchar_t* caption : {kLoginCaption, kDeviceCaption})
        if (HWND w = ::FindWindowW(kDialogClass, caption)) Press(w, kIdCancel);
    });
    const eVClientResult result = show();
    driver.join();
    return result;
  }
  eVClientResult ShowLogin(std::u16string& error) {
    return ShowLoginWindow(client, {backend, launcher, state}, error);
  }
  eVClientResult ShowDevice(std::u16string& error) {
    return ShowDeviceAuthorizationWindow(client, {backend, launcher, state}, error);
  }

  Win32DialogBackend backend;
  RecordingLauncher launcher;
  FakeClient client;
  WindowState state;
};

}  // namespace

TEST_F(Win32DialogTest, LoginWindowIsTheTemplateAndSignsInWithWhatWasTyped) {
  std::u16string error;
  const eVClientResult r = Driven([&] { return ShowLogin(error); }, [](DWORD ui) {
    HWND d = WaitForWindow(kLoginCaption);
    ASSERT_NE(d, nullptr);
    ExpectMatchesTemplate(d, LoginTemplate());
    ExpectPlacedOnTop(d);
    EXPECT_EQ(FocusOf(ui), ::GetDlgItem(d, LoginIds::kUserName));
    HWND combo = ::GetDlgItem(d, LoginIds::kSessionLength);
    ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    const uint32_t seconds[] = {86400, 15552000, 31536000};
    const wchar_t* texts[] = {L"1 day", L"180 days", L"1 year"};
    for (int i = 0; i < 3; ++i) {
      wchar_t text[32] = {};
      ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      EXPECT_STREQ(text, texts[i]);
      EXPECT_EQ(::SendMessageW(combo, CB_GETITEMDATA, i, 0), static_cast<LRESULT>(seconds[i]));
    }
    EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    Type(d, LoginIds::kUserName, L"alice");
    Type(d, LoginIds::kPassword, L"hunter2");
    EXPECT_NE(::SendMessageW(::GetDlgItem(d, LoginIds::kPassword), EM_GETPASSWORDCHAR, 0, 0), 0);
    Screenshot(d, L"login-window.png");
    Press(d, kIdOk);
    EXPECT_TRUE(WaitGone(d));
  });
  EXPECT_EQ(r, eVClientResult::Success);
  ASSERT_EQ(client.logins.size(), 1u);
  EXPECT_EQ(client.logins[0].user, u"alice");
  EXPECT_EQ(client.logins[0].password, u"hunter2");
  EXPECT_FALSE(client.logins[0].passwordIsDigest);
  EXPECT_EQ(client.logins[0].seconds, 15552000u);
}

TEST_F(Win32DialogTest, EmptyLoginShowsAStandaloneBoxThenEnterSubmitsTheChosenLength) {
  std::u16string error;
  const eVClientResult r = Driven([&] { return ShowLogin(error); }, [](DWORD) {
    HWND d = WaitForWindow(kLoginCaption);
    ASSERT_NE(d, nullptr);
    Press(d, kIdOk);
    const Box box = CloseMessageBox(L"Error");
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.text, L"You must enter a username");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_TRUE(::IsWindow(d));
    Type(d, LoginIds::kUserName, L"alice");
    Type(d, LoginIds::kPassword, L"pw");
    ::SendMessageW(::GetDlgItem(d, LoginIds::kSessionLength), CB_SETCURSEL, 2, 0);
    Key(::GetDlgItem(d, LoginIds::kPassword), VK_RETURN);
    EXPECT_TRUE(WaitGone(d));
  });
  EXPECT_EQ(r, eVClientResult::Success);
  ASSERT_EQ(client.logins.size(), 1u);
  EXPECT_EQ(client.logins[0].seconds, 31536000u);
}

TEST_F(Win32DialogTest, DeviceWindowIsTheTemplateAndAuthorisesWithThePrefilledName) {
  std::u16string error;
  const eVClientResult r = Driven([&] { return ShowDevice(error); }, [](DWORD ui) {
    HWND d = WaitForWindow(kDeviceCaption);
    ASSERT_NE(d, nullptr);
    ExpectMatchesTemplate(d, DeviceAuthorizationTemplate());
    ExpectPlacedOnTop(d);
    EXPECT_EQ(TextOf(::GetDlgItem(d, DeviceIds::kUserName)), L"alice");
    EXPECT_EQ(TextOf(::GetDlgItem(d, DeviceIds::kDeviceName)), L"WORKSTATION-7");

    Press(d, kIdOk);
    const Box box = CloseMessageBox(L"Please enter an Auth code");
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.owner, d);
    ExpectButtonsUncovered(d, box);
    EXPECT_EQ(FocusOf(ui), ::GetDlgItem(d, DeviceIds::kCode));

    Press(d, DeviceIds::kSendEmail);
    const Box sent = CloseMessageBox(L"Success: New Device Authorization e-mail sent!",
                                     L"device-authorization-email-sent.png");
    EXPECT_TRUE(sent.found);
    EXPECT_EQ(sent.owner, d);
    ExpectButtonsUncovered(d, sent);
    EXPECT_EQ(sent.text.rfind(L"Please check the e-mail address on your Vendra Software", 0), 0u);

    Type(d, DeviceIds::kCode, L"123456");
    Screenshot(d, L"device-authorization-window.png");
    Press(d, kIdOk);
    EXPECT_TRUE(WaitGone(d));
  });
  EXPECT_EQ(r, eVClientResult::Success);
  EXPECT_EQ(client.emails, 1);
  ASSERT_EQ(client.authorizations.size(), 1u);
  EXPECT_EQ(client.authorizations[0].code, u"123456");
  EXPECT_EQ(client.authorizations[0].deviceName, u"WORKSTATION-7");
}

TEST_F(Win32DialogTest, NotYouOpensTheLoginOnTopAndItsCancelEndsTheDeviceWindow) {
  std::u16string error;
  const eVClientResult r = Driven([&] { return ShowDevice(error); }, [](DWORD) {
    HWND d = WaitForWindow(kDeviceCaption);
    ASSERT_NE(d, nullptr);
    Press(d, DeviceIds::kNotYou);
    HWND login = WaitForWindow(kLoginCaption);
    ASSERT_NE(login, nullptr);
    ExpectPlacedOnTop(login);
    Press(login, kIdCancel);
    EXPECT_TRUE(WaitGone(login));
    EXPECT_TRUE(WaitGone(d));
  });
  EXPECT_EQ(r, eVClientResult::LoginCancelled);
  EXPECT_EQ(error, u"Login failed (-109): User clicked Cancel in Login window");
  EXPECT_EQ(client.logouts, 1);
}

TEST_F(Win32DialogTest, NotYouThenSigningInShowsTheNewName) {
  std::u16string error;
  const eVClientResult r = Driven([&] { return ShowDevice(error); }, [](DWORD) {
    HWND d = WaitForWindow(kDeviceCaption);
    ASSERT_NE(d, nullptr);
    Press(d, DeviceIds::kNotYou);
    HWND login = WaitForWindow(kLoginCaption);
    ASSERT_NE(login, nullptr);
    Type(login, LoginIds::kUserName, L"bob");
    Type(login, LoginIds::kPassword, L"pw");
    Press(login, kIdOk);
    EXPECT_TRUE(WaitGone(login));
    for (int i = 0; i < 100 && TextOf(::GetDlgItem(d, DeviceIds::kUserName)) != L"bob"; ++i)
      ::Sleep(50);
    EXPECT_EQ(TextOf(::GetDlgItem(d, DeviceIds::kUserName)), L"bob");
    Press(d, kIdCancel);
    EXPECT_TRUE(WaitGone(d));
  });
  EXPECT_EQ(r, eVClientResult::Cancelled);
  EXPECT_EQ(error, u"User clicked Cancel in Device Authorization window");
}

TEST_F(Win32DialogTest, AModuleWithoutTheResourcesCannotMakeTheWindows) {
  client.SetModuleInstance(::GetModuleHandleW(L"kernel32.dll"));
  std::u16string error;
  EXPECT_EQ(ShowLogin(error), eVClientResult::Failed);
  const std::u16string prefix = u"Failed to create Vendra Login window: GetLastError=";
  ASSERT_EQ(error.rfind(prefix, 0), 0u) << std::string(error.begin(), error.end());
  EXPECT_NE(error.substr(prefix.size()), u"0");
  EXPECT_EQ(ShowDevice(error), eVClientResult::Failed);
  EXPECT_EQ(error.rfind(u"Failed to create Device Auth window: GetLastError=", 0), 0u);
  // The progress window says so without running the work, which the
  // console then shows instead.
  bool ran = false;
  int result = -1;
  uint32_t lastError = 0;
  EXPECT_FALSE(RunInProgressWindow(
      u"Installing", [&](IProgressFeed&) { return ran = true, 0; },
      ::GetModuleHandleW(L"kernel32.dll"), result, lastError));
  EXPECT_FALSE(ran);
  EXPECT_NE(lastError, 0u);
}

namespace {

constexpr wchar_t kCrashCaption[] = L"Vendra Software Crash Reporter";

class Win32CrashWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    report->SetStringA(u"report", "Access violation at 0x1234");
  }
  // Shows the window on this thread while drive works it from another.
  eVClientResult Driven(std::u16string& error, std::function<void(DWORD uiThread)> drive) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([&] {
      drive(uiThread);
      if (HWND w = ::FindWindowW(kDialogClass, kCrashCaption)) Press(w, kIdCancel);
    });
    const eVClientResult result =
        ShowCrashReportWindow(backend, nullptr, state, report.get(), error);
    driver.join();
    return result;
  }

  Win32DialogBackend backend;
  CrashWindowState state;
  Vendra::RefPtr<VendraJSON::VSJObject> report;
};

}  // namespace

TEST_F(Win32CrashWindowTest, ShowsTheReportTakesNotesOfSeveralLinesAndReports) {
  std::u16string error;
  const eVClientResult r = Driven(error, [](DWORD ui) {
    HWND d = WaitForWindow(kCrashCaption);
    ASSERT_NE(d, nullptr);
    ExpectMatchesTemplate(d, CrashReportTemplate());
    ExpectPlacedOnTop(d);
    EXPECT_EQ(FocusOf(ui), ::GetDlgItem(d, CrashIds::kNotes));
    EXPECT_EQ(TextOf(::GetDlgItem(d, CrashIds::kReport)), L"Access violation at 0x1234");
    EXPECT_NE(::GetWindowLongW(::GetDlgItem(d, CrashIds::kNotes), GWL_STYLE) & ES_WANTRETURN, 0);
    Type(d, CrashIds::kNotes, L"first line\r\nsecond line");
    Screenshot(d, L"crash-report-window.png");
    Press(d, kIdOk);
    EXPECT_TRUE(WaitGone(d));
  });
  EXPECT_EQ(r, eVClientResult::Success);
  std::u16string notes;
  ASSERT_TRUE(report->GetString(u"user_notes", notes));
  EXPECT_EQ(notes, u"first line\r\nsecond line");
}

// Escape in a box and the close box cancel each window; a window a test
// leaves open is cancelled, so that the test ends.
TEST(Win32WindowOutcomes, EscapeAndTheCloseBoxCancelEachWindow) {
  Win32DialogBackend backend;
  WindowsOnBackend windows(backend);
  std::thread driver;
  const auto ending = [&driver](const wchar_t* caption, int box) {
    return [&driver, caption, box] {
      driver = std::thread([caption, box] {
        HWND d = WaitForWindow(caption);
        ASSERT_NE(d, nullptr);
        if (box) Key(::GetDlgItem(d, box), VK_ESCAPE);
        else ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(WaitGone(d));
        if (HWND w = ::FindWindowW(kDialogClass, caption)) Press(w, kIdCancel);
      });
    };
  };
  const char16_t loginCancel[] = u"User clicked Cancel in Login window";
  ExpectOutcomes(
      windows,
      {
          {"login, Escape", Window::Login, ending(kLoginCaption, LoginIds::kUserName),
           eVClientResult::LoginCancelled, loginCancel},
          {"login, close box", Window::Login, ending(kLoginCaption, 0),
           eVClientResult::LoginCancelled, loginCancel},
          {"device, Escape", Window::Device, ending(kDeviceCaption, DeviceIds::kCode),
           eVClientResult::Cancelled, u"User clicked Cancel in Device Authorization window"},
          {"crash, Escape", Window::Crash, ending(kCrashCaption, CrashIds::kNotes),
           eVClientResult::Cancelled, u"User clicked Cancel in Crash Report window"},
      },
      [&driver](const WindowOutcome&) { driver.join(); });
}

namespace {

constexpr wchar_t kProgressCaption[] = L"Installing tdy live 1.2.3 - Vendra Software";

// Waits until the control shows text.
bool WaitForText(HWND control, const std::wstring& text, int seconds = 30) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (TextOf(control) == text) return true;
    ::Sleep(50);
  }
  return false;
}

// A work that shows one view after another as the test releases them, and
// ends with 3 once it hears Cancel, or with 0 when released to finish.
struct ScriptedWork {
  std::atomic<int> released{0};
  std::atomic<bool> heardCancel{false};
  std::vector<ProgressView> views;

  int operator()(IProgressFeed& feed) {
    for (size_t shown = 0;; ::Sleep(20)) {
      if (feed.CancelRequested()) {
        heardCancel = true;
        return 3;
      }
      const int upTo = released.load();
      if (upTo < 0) return 0;
      while (shown < views.size() && static_cast<int>(shown) < upTo) feed.Show(views[shown++]);
    }
  }
};

}  // namespace

// The progress window is the template's, with the caption it was given and
// every label's text whole even with the longest amounts; the work's views
// are drawn as they come; the Cancel button, Escape and the close box each
// tell the work, which ends the window when it has stopped.
TEST(Win32ProgressWindowTest, DrawsTheWorksViewsAndPassesCancelOn) {
  const ProgressView half{u"Downloading (3 of 12 files in place)", u"data\\textures\\terrain.pak",
                          u"45%  225.0 MB of 500.0 MB  4.1 MB/s  1 min 07 s left", 450};
  const ProgressView longest{u"Downloading (999 of 999 files in place)",
                             u"data\\a folder with a long name\\another long folder name\\"
                             u"and a file whose name is longer than the window.pak",
                             u"100%  999.99 GB of 999.99 GB  999.9 MB/s  99 h 59 min left", 1000};
  enum class How { Button, Escape, CloseBox };
  for (const How how : {How::Button, How::Escape, How::CloseBox}) {
    SCOPED_TRACE(static_cast<int>(how));
    ScriptedWork work;
    work.views = {half, longest};
    std::thread driver([&] {
      HWND d = WaitForWindow(kProgressCaption);
      ASSERT_NE(d, nullptr);
      ExpectMatchesTemplate(d, ProgressTemplate(), kProgressCaption);
      ExpectPlacedOnTop(d);
      HWND bar = ::GetDlgItem(d, ProgressIds::kBar);
      EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);
      work.released = 1;
      EXPECT_TRUE(WaitForText(::GetDlgItem(d, ProgressIds::kFigures), Wide(half.figures)));
      EXPECT_EQ(TextOf(::GetDlgItem(d, ProgressIds::kStep)), Wide(half.step));
      EXPECT_EQ(TextOf(::GetDlgItem(d, ProgressIds::kFile)), Wide(half.file));
      EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 450);
      if (how == How::Button) Screenshot(d, L"progress-window.png");
      work.released = 2;
      EXPECT_TRUE(WaitForText(::GetDlgItem(d, ProgressIds::kFigures), Wide(longest.figures)));
      for (const int id : {ProgressIds::kStep, ProgressIds::kFigures})
        ExpectWholeText(::GetDlgItem(d, id), *ProgressTemplate().Find(id));
      EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 1000);
      switch (how) {
        case How::Button: Press(d, kIdCancel); break;
        case How::Escape: Key(::GetDlgItem(d, kIdCancel), VK_ESCAPE); break;
        case How::CloseBox: ::PostMessageW(d, WM_CLOSE, 0, 0); break;
      }
      EXPECT_TRUE(WaitGone(d));
    });
    int result = -1;
    uint32_t error = 0;
    EXPECT_TRUE(RunInProgressWindow(Wide16(kProgressCaption), std::ref(work), nullptr, result,
                                    error))
        << error;
    driver.join();
    EXPECT_TRUE(work.heardCancel);
    EXPECT_EQ(result, 3);
  }
}

// Cancel stops nothing by itself: the window says it is cancelling, takes no
// second Cancel, and stays until the work ends; a work that ends by itself
// closes the window with its own answer.
TEST(Win32ProgressWindowTest, StaysUntilTheWorkEndsAndPassesItsAnswerOn) {
  std::atomic<bool> cancelled{false};
  std::atomic<bool> finish{false};
  std::thread driver([&] {
    HWND d = WaitForWindow(kProgressCaption);
    ASSERT_NE(d, nullptr);
    Press(d, kIdCancel);
    for (int i = 0; i < 600 && !cancelled; ++i) ::Sleep(50);
    EXPECT_TRUE(cancelled);
    ::Sleep(300);
    EXPECT_NE(TextOf(::GetDlgItem(d, ProgressIds::kStep)).find(L"Cancelling"), std::wstring::npos);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, kIdCancel)));
    EXPECT_TRUE(::IsWindow(d)) << "the work has not ended yet";
    finish = true;
    EXPECT_TRUE(WaitGone(d));
  });
  int result = -1;
  uint32_t error = 0;
  EXPECT_TRUE(RunInProgressWindow(
      Wide16(kProgressCaption),
      [&](IProgressFeed& feed) {
        while (!feed.CancelRequested()) ::Sleep(20);
        cancelled = true;
        // A view arriving after Cancel keeps the window's word on the step.
        feed.Show({u"Installing", u"", u"", 100});
        while (!finish) ::Sleep(20);
        return 7;
      },
      nullptr, result, error));
  driver.join();
  EXPECT_EQ(result, 7);
}
