#pragma once

#include <string>
#include <vector>

namespace VendraUiTest {

// A program run as a child process whose standard input the test writes and
// whose standard output and error it reads as one stream: either through
// pipes or through a pseudo-terminal that is the child's controlling
// terminal (so the child sees a person at a terminal).
class ChildSession {
 public:
  enum class Mode { Pipes, PseudoTerminal };

  ChildSession(Mode mode, const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& env = {});
  ~ChildSession();
  ChildSession(const ChildSession&) = delete;
  ChildSession& operator=(const ChildSession&) = delete;

  bool started() const { return pid_ > 0; }
  // Reads until text appears after the previous match; false on time-out or
  // when the child ended first.
  bool WaitFor(const std::string& text, int timeoutSeconds = 60);
  void Send(const std::string& text);
  // End of input: closes the pipe, or types the end-of-file character.
  void CloseInput();
  // Reads everything that is left and reaps the child; its exit code, or
  // -1 when it did not exit normally within the time.
  int Finish(int timeoutSeconds = 60);

  // At a pseudo-terminal: whether it echoes what is typed now.
  bool TerminalEchoes() const;
  // Sends the child a signal.
  void Signal(int signal);

  const std::string& output() const { return output_; }

 private:
  // True when output arrived within the time.
  bool ReadSome(int timeoutMs);

  Mode mode_;
  int pid_ = -1;
  int input_ = -1;
  int outputFd_ = -1;
  bool eof_ = false;
  std::string output_;
  size_t searchFrom_ = 0;
};

}  // namespace VendraUiTest
