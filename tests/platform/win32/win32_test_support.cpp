#include "tests/platform/win32/win32_test_support.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

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

std::u16string QuoteArgument(const std::u16string& argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos) return argument;
  std::u16string out = u"\"";
  size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: double them there.
    out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, u'\\');
  out.push_back(u'"');
  return out;
}

int RunHelper(const std::vector<std::u16string>& arguments) {
  std::u16string commandLine = QuoteArgument(HelperPath());
  for (const auto& a : arguments) commandLine += u" " + QuoteArgument(a);
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
