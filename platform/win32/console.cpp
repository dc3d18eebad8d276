// Win32 layer only.
#include "platform/console.h"

#include "platform/win32/windows_api.h"

namespace VendraPlatform {

bool StandardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool StandardOutputIsCaptured() {
  const DWORD type = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE));
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

bool StandardOutputIsOpen() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return output != nullptr && output != INVALID_HANDLE_VALUE &&
         GetFileType(output) != FILE_TYPE_UNKNOWN;
}

void ReleaseOwnConsole() {
  DWORD processes[2] = {};
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return 80;
}

void DisconnectStandardInput() { SetStdHandle(STD_INPUT_HANDLE, nullptr); }

}  // namespace VendraPlatform
