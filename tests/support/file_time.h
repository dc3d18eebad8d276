#pragma once

#include <chrono>
#include <string>

namespace VendraTest {

// A file's last modification time to the system's finest unit, so that a
// test can give a file back the very time it had (the standard library's
// clock under mingw keeps whole seconds only), counted from 1970.
std::chrono::nanoseconds ModificationTime(const std::string& path);
// False when the time could not be set.
bool SetModificationTime(const std::string& path, std::chrono::nanoseconds time);

}  // namespace VendraTest
