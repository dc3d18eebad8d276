#pragma once

// Shared pieces of the Win32 platform tests: running the helper program as a
// second process, and telling Wine from Windows.

#include <string>
#include <vector>

namespace VendraWin32Test {

// True under Wine, which lacks some of Windows' behaviour (see the tests
// that skip on it).
bool RunningUnderWine();

// Full path of platform_win32_helper.exe, built beside the test program.
std::u16string HelperPath();

// Runs the helper with the arguments and waits; its exit code, or -1 when it
// could not be started or did not end within a minute.
int RunHelper(const std::vector<std::u16string>& arguments);

// Sets (or, with an empty value, removes) an environment variable of this
// process; child processes inherit it.
void SetEnvironment(const char16_t* name, const std::u16string& value);

}  // namespace VendraWin32Test
