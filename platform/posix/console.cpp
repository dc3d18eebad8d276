// POSIX layer only.
#include "platform/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VendraPlatform {

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool StandardOutputIsCaptured() {
  struct stat info {};
  if (::fstat(STDOUT_FILENO, &info) != 0) return false;
  return S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
}

bool StandardOutputIsOpen() { return ::fcntl(STDOUT_FILENO, F_GETFD) != -1; }

// A terminal is never opened for a program alone here.
void ReleaseOwnConsole() {}

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// The terminal dialogs treat a standard input opened for writing only as
// absent (as they do a closed one), and the null device reads nothing.
void DisconnectStandardInput() {
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  ::dup2(null, STDIN_FILENO);
  ::close(null);
}

}  // namespace VendraPlatform
