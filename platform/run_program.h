#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace VendraPlatform {

// Runs a program with its arguments (commandLine[0] is the program, looked up
// on the search path when it names no folder; no shell is involved, every
// argument arrives as it is) and waits for it. Its standard output goes to
// the caller's standard error. exitCode is the program's exit code (128 plus
// the signal number when a signal ended it). Answers a system error number
// when the program could not be started, else 0.
uint32_t RunProgram(const std::vector<std::u16string>& commandLine, int& exitCode);

}  // namespace VendraPlatform
