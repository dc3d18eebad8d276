#include "tests/support/environment.h"

#include <cstdlib>

namespace VendraTest {

void SetEnvironment(const char* name, const std::string& value) {
  if (value.empty())
    ::unsetenv(name);
  else
    ::setenv(name, value.c_str(), 1);
}

}  // namespace VendraTest
