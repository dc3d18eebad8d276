#include "tests/platform/win32/win32_test_support.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/command_line.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace VendraWin32Test {
namespace {
const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::u16string HelperPath() {
  return VendraPlatform::JoinFileName(
      std::u16string(VendraPlatform::FolderOf(VendraPlatform::ModuleFileName())),
      u"platform_win32_helper.exe");
}

int RunHelper(const std::vector<std::u16string>& arguments) {
  std::u16string commandLine = VendraPlatform::QuoteCommandLineArgument(HelperPath());
  for (const auto& a : arguments) commandLine += u" " + VendraPlatform::QuoteCommandLineArgument(a);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(W(HelperPath()), reinterpret_cast<wchar_t*>(commandLine.data()), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  ::CloseHandle(process.hThread);
  int code = -1;
  if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    if (::GetExitCodeProcess(process.hProcess, &exitCode)) code = static_cast<int>(exitCode);
  }
  ::CloseHandle(process.hProcess);
  return code;
}

void SetEnvironment(const char16_t* name, const std::u16string& value) {
  const std::u16string wideName(name);
  ::SetEnvironmentVariableW(W(wideName), value.empty() ? nullptr : W(value));
}

}  // namespace VendraWin32Test
