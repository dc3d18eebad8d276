#pragma once

#include <string>

namespace VendraTest {

// Sets an environment variable of the test process (seen by the platform
// layer and inherited by child processes); an empty value removes it, but
// for VENDRA_MACHINE_ROOT, which returns to the test program's own.
void SetEnvironment(const char* name, const std::string& value);

}  // namespace VendraTest
