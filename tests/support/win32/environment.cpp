#include "tests/support/environment.h"

#include <cstdlib>

namespace VendraTest {

void SetEnvironment(const char* name, const std::string& value) {
  // The C library's copy and the process environment both change; an empty
  // value removes the variable.
  ::_putenv_s(name, value.c_str());
}

}  // namespace VendraTest
