#pragma once

#include <string>
#include <vector>

namespace VendraTest {

// A copy of the session helper program (session_helper_main.cpp) running as
// a child process: the test writes one command per line and reads one answer
// line per command (through descriptors 3 and 4 of the helper). Ending the
// commands ends it; the holder kills it when it is still running.
class HelperProcess {
 public:
  // extraEnvironment: "NAME=value" entries added to this process's own.
  explicit HelperProcess(const std::vector<std::string>& extraEnvironment = {});
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  bool running() const { return pid_ > 0; }
  int pid() const { return pid_; }

  // Sends a command without waiting for its answer.
  bool Send(const std::string& command);
  // The next answer line; empty when none came within the time.
  std::string ReadLine(int timeoutMs = 120000);
  // Send and ReadLine.
  std::string Call(const std::string& command, int timeoutMs = 120000);

  // Ends the input and waits; the exit code, or -1 when it did not exit.
  int Finish();
  // SIGKILL and reap.
  void Kill();

 private:
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string buffered_;
};

// The path of the helper program.
std::string SessionHelperProgram();

}  // namespace VendraTest
