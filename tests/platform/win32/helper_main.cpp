// A second process for the Win32 platform tests and the installer check:
//   set-string KEY NAME VALUE       writes a value (32-bit view); exit code = error
//   query-string KEY NAME EXPECTED  0 when the value reads back as EXPECTED, 1 when
//                                   it differs, otherwise the error number
//   launch PROGRAM FOLDER PARAMS    starts PROGRAM through the launcher and exits at
//                                   once: 0 on success, otherwise the launcher's answer
//   record MARKER                   waits 300 ms, then writes its working folder and
//                                   its arguments, one "[arg]" a line, to MARKER
//   close-box CAPTION SECONDS       waits for a message box with CAPTION, prints its
//                                   text on standard output, presses its OK button;
//                                   1 when none appeared in time
//   cancel-window CAPTION SECONDS   waits for a dialog window with CAPTION and presses
//                                   its Cancel button; 1 when none appeared in time
//   fill-window CAPTION SECONDS BUTTON [ID TEXT]...
//                                   waits for a dialog window with CAPTION, types each
//                                   TEXT into the control ID, then presses the button
//                                   with id BUTTON; 1 when none appeared in time, 2
//                                   when a control is missing
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/text/utf.h"
#include "platform/launcher.h"
#include "platform/registry.h"

using namespace VendraPlatform;

namespace {

std::vector<std::u16string> Arguments() {
  int count = 0;
  wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::u16string> out;
  for (int i = 0; i < count; ++i) out.emplace_back(reinterpret_cast<const char16_t*>(list[i]));
  ::LocalFree(list);
  return out;
}

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

int Record(const std::u16string& marker, const std::vector<std::u16string>& args) {
  ::Sleep(300);
  wchar_t folder[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, folder);
  std::u16string text(reinterpret_cast<const char16_t*>(folder), length);
  text += u"\n";
  for (size_t i = 2; i < args.size(); ++i) text += u"[" + args[i] + u"]\n";
  const std::string bytes = VendraText::Utf16ToUtf8(text);
  const std::u16string temp = marker + u".tmp";
  HANDLE file = ::CreateFileW(W(temp), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ::MoveFileExW(W(temp), W(marker), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}

// Dialog windows, message boxes among them, are of the system class "#32770".
// A dialog is shown only once all its controls exist; found before that, it
// may not have the controls yet.
HWND WaitForDialog(const std::u16string& caption, int seconds) {
  for (int waited = 0; waited < seconds * 10; ++waited) {
    HWND dialog = ::FindWindowW(L"#32770", W(caption));
    if (dialog && ::IsWindowVisible(dialog)) return dialog;
    ::Sleep(100);
  }
  return nullptr;
}

int CancelWindow(const std::u16string& caption, int seconds) {
  HWND dialog = WaitForDialog(caption, seconds);
  if (!dialog) return 1;
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return 0;
}

int FillWindow(const std::u16string& caption, int seconds, int button,
               const std::vector<std::u16string>& pairs) {
  HWND dialog = WaitForDialog(caption, seconds);
  if (!dialog) return 1;
  for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
    HWND control = ::GetDlgItem(dialog, std::stoi(VendraText::Utf16ToUtf8(pairs[i])));
    if (!control) return 2;
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(pairs[i + 1])));
  }
  if (!::GetDlgItem(dialog, button)) return 2;
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return 0;
}

int CloseBox(const std::u16string& caption, int seconds) {
  HWND box = WaitForDialog(caption, seconds);
  if (!box) return 1;
  wchar_t text[4096] = {};
  // The box's text is its static control with id 0xFFFF.
  ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
  const std::string utf8 = VendraText::Utf16ToUtf8(reinterpret_cast<const char16_t*>(text));
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}

}  // namespace

int main() {
  const std::vector<std::u16string> args = Arguments();
  if (args.size() < 2) return 90;
  const std::u16string& mode = args[1];
  if (mode == u"set-string" && args.size() == 5) {
    RegistryKey key;
    if (const uint32_t err = key.CreateForWriting(args[2], RegistryView::Default32)) return static_cast<int>(err);
    return static_cast<int>(key.SetString(args[3], args[4]));
  }
  if (mode == u"query-string" && args.size() == 5) {
    RegistryKey key;
    if (const uint32_t err = key.OpenForReading(args[2], RegistryView::Default32)) return static_cast<int>(err);
    std::u16string value;
    if (const uint32_t err = key.QueryString(args[3], value)) return static_cast<int>(err);
    return value == args[4] ? 0 : 1;
  }
  if (mode == u"launch" && args.size() == 5) {
    const uint32_t answer = SystemLauncher().Open(args[2], args[4], args[3]);
    return answer > 32 ? 0 : static_cast<int>(answer);
  }
  if (mode == u"record" && args.size() >= 3) return Record(args[2], args);
  if (mode == u"close-box" && args.size() == 4) return CloseBox(args[2], std::stoi(VendraText::Utf16ToUtf8(args[3])));
  if (mode == u"cancel-window" && args.size() == 4)
    return CancelWindow(args[2], std::stoi(VendraText::Utf16ToUtf8(args[3])));
  if (mode == u"fill-window" && args.size() >= 5 && args.size() % 2 == 1)
    return FillWindow(args[2], std::stoi(VendraText::Utf16ToUtf8(args[3])),
                      std::stoi(VendraText::Utf16ToUtf8(args[4])),
                      std::vector<std::u16string>(args.begin() + 5, args.end()));
  return 91;
}
