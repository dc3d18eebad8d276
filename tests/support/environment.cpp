#include "tests/support/environment.h"

#include <cstdlib>
#include <string_view>

namespace VendraTest {

void SetEnvironment(const char* name, const std::string& value) {
  // The machine root is never cleared: the program's own takes its place
  // again (machine_root_guard.cpp), so nothing reaches the machine's.
  const char* programRoot = std::getenv("VENDRA_TEST_MACHINE_ROOT");
  if (value.empty() && programRoot && std::string_view(name) == "VENDRA_MACHINE_ROOT")
    ::setenv(name, programRoot, 1);
  else if (value.empty())
    ::unsetenv(name);
  else
    ::setenv(name, value.c_str(), 1);
}

}  // namespace VendraTest
