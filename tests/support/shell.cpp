#include "tests/support/shell.h"

#include <sys/wait.h>

#include <cstdlib>

namespace VendraTest {

int RunShell(const std::string& command, int) {
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellPath(const std::string& path) { return ShellQuoted(path); }

}  // namespace VendraTest
