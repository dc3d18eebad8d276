// Win32 layer only.
#include "platform/run_program.h"

#include "platform/command_line.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {

uint32_t RunProgram(const std::vector<std::u16string>& commandLine, int& exitCode) {
  exitCode = -1;
  if (commandLine.empty()) return ERROR_INVALID_PARAMETER;
  std::wstring line;
  for (const std::u16string& argument : commandLine) {
    if (!line.empty()) line += L' ';
    // Quoted so that the usual command-line splitting gives each back exactly.
    line += Win32::Wide(QuoteCommandLineArgument(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
    return ::GetLastError();
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  exitCode = static_cast<int>(code);
  return 0;
}

}  // namespace VendraPlatform
