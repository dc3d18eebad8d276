// The POSIX shell from a Windows test program under Wine. Wine starts a Linux
// program named to CreateProcess as it is, outside Windows: there is no
// process handle to wait on and no exit code. The command therefore runs in a
// script that leaves its exit code in a file, which is waited for. Paths go
// to the Linux side as their Unix names, from Wine's own translation.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/text/utf.h"
#include "tests/support/shell.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

using UnixFileName = char*(CDECL*)(const wchar_t*);

std::string UnixName(const std::string& path) {
  static const auto translate = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!translate) return std::string();
  const std::u16string wide = VendraText::Utf8ToUtf16(path);
  char* name = translate(reinterpret_cast<const wchar_t*>(wide.c_str()));
  if (!name) return std::string();
  std::string translated(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return translated;
}

}  // namespace

std::string ShellPath(const std::string& path) { return ShellQuoted(UnixName(path)); }

int RunShell(const std::string& command, int seconds) {
  TempFolder folder;
  const std::string script = folder.Sub("run.sh");
  const std::string status = folder.Sub("status");
  WriteTextFile(script, "( " + command + " )\necho $? >" + ShellPath(folder.path()) +
                            "/status.tmp && mv " + ShellPath(folder.path()) + "/status.tmp " +
                            ShellPath(status) + "\n");
  // Wine splits this command line by the Windows rules, where only double
  // quotes group.
  std::u16string line = u"sh \"" + VendraText::Utf8ToUtf16(UnixName(script)) + u"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"Z:\\bin\\sh", reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  if (process.hThread) ::CloseHandle(process.hThread);
  if (process.hProcess) ::CloseHandle(process.hProcess);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadTextFile(status);
    if (!text.empty()) return std::stoi(text);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

}  // namespace VendraTest
