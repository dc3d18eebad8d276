#pragma once

#include <memory>
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

// A program of the system under test started with its arguments (no shell
// is involved: commandLine[0] is the program's path) and left running, so
// that a test may end it at any moment as a crash or a power cut would.
// Child processes inherit this process's environment. A program still
// running when its holder goes is ended.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const;
  // Ends it at once, with no chance to clean up (SIGKILL, TerminateProcess).
  void Kill();
  // Waits for it and answers its exit code (on POSIX 128 + the signal that
  // ended it), or -1 when it was not started or was still running after the
  // time given (it is then ended).
  int Wait(int seconds = 600);
  // The system's process id, for signals on POSIX.
  int id() const;

 private:
  struct Process;
  std::unique_ptr<Process> process_;
};

// Starts a program as RunningProgram does and waits for its exit code.
int RunProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams,
               int seconds = 600);

// The file name a program gets on this system ("name" or "name.exe").
std::string ProgramFileName(const std::string& name);

}  // namespace VendraTest
