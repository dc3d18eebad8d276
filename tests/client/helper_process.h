#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace VendraTest {

// A copy of the session helper program (session_helper_main.cpp) running as
// a child process with this process's environment: the test writes one
// command per line and reads one answer line per command, through pipes of
// their own (standard input and output are the null device, so a window the
// client opens finds no one to answer it). Ending the commands ends it; the
// holder kills it when it is still running.
class HelperProcess {
 public:
  HelperProcess();
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // Sends a command without waiting for its answer.
  bool Send(const std::string& command);
  // The next answer line; empty when none came within the time.
  std::string ReadLine(int timeoutMs = 120000);
  // Send and ReadLine.
  std::string Call(const std::string& command, int timeoutMs = 120000);

  // Ends the input and waits; the exit code, or -1 when it did not exit.
  int Finish();
  // Ends it at once, with no chance to clean up, and waits for it.
  void Kill();

 private:
  // Appends what the helper has answered by the deadline to buffered_;
  // false when its answers have ended.
  bool ReadMore(std::chrono::steady_clock::time_point deadline);

  struct Process;
  std::unique_ptr<Process> process_;
  std::string buffered_;
};

}  // namespace VendraTest
