#pragma once

#include <string>

namespace VendraTest {

// Runs a command line of the system's POSIX shell (on Windows test runs, the
// Linux shell of the machine Wine runs on) and waits for it; answers its exit
// code, -1 when it could not be run or did not end within the time given.
int RunShell(const std::string& command, int seconds = 120);

// The name the shell knows a file of this program by, quoted for a command
// line.
std::string ShellPath(const std::string& path);

// Text as one word of a shell command line.
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace VendraTest
