#pragma once

#include <string>
#include <utility>
#include <vector>

namespace VendraTest {

// Where a program started by RunProgram reads and writes.
struct ProgramStreams {
  ProgramStreams(std::string outputFile, std::string errorFile = "", bool silent = false)
      : output(std::move(outputFile)), errors(std::move(errorFile)), silentInput(silent) {}
  // Standard output is appended to this file (made when missing).
  std::string output;
  // Standard error is appended here; empty: to the output file as well.
  std::string errors;
  // Standard input is a pipe this process holds open and never writes to, as
  // a terminal nobody types into would be; otherwise it is the null device.
  bool silentInput;
};

// Runs a program of the system under test with its arguments (no shell is
// involved: commandLine[0] is the program's path) and waits for it. Answers
// its exit code, or -1 when it could not be started or was still running
// after the time given (it is then ended). Child processes inherit this
// process's environment.
int RunProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams,
               int seconds = 600);

// The file name a program gets on this system ("name" or "name.exe").
std::string ProgramFileName(const std::string& name);

}  // namespace VendraTest
