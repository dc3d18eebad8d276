#include "tests/ui/posix/child_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace VendraUiTest {
namespace {

[[noreturn]] void Exec(const std::vector<std::string>& argv,
                       const std::vector<std::pair<std::string, std::string>>& env) {
  for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

}  // namespace

ChildSession::ChildSession(Mode mode, const std::vector<std::string>& argv,
                           const std::vector<std::pair<std::string, std::string>>& env)
    : mode_(mode) {
  if (mode == Mode::PseudoTerminal) {
    int master = -1;
    struct winsize size = {24, 120, 0, 0};
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) return;
    if (pid == 0) Exec(argv, env);
    pid_ = pid;
    input_ = master;
    outputFd_ = master;
    return;
  }
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(out[1], STDERR_FILENO);
    Exec(argv, env);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (pid < 0) {
    ::close(in[1]);
    ::close(out[0]);
    return;
  }
  pid_ = pid;
  input_ = in[1];
  outputFd_ = out[0];
}

bool ChildSession::TerminalEchoes() const {
  termios settings{};
  return mode_ == Mode::PseudoTerminal && ::tcgetattr(outputFd_, &settings) == 0 &&
         (settings.c_lflag & ECHO) != 0;
}

void ChildSession::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

ChildSession::~ChildSession() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (input_ >= 0 && input_ != outputFd_) ::close(input_);
  if (outputFd_ >= 0) ::close(outputFd_);
}

bool ChildSession::ReadSome(int timeoutMs) {
  if (eof_) return false;
  pollfd p{outputFd_, POLLIN, 0};
  const int ready = ::poll(&p, 1, timeoutMs);
  if (ready <= 0) return false;
  char buffer[4096];
  const ssize_t got = ::read(outputFd_, buffer, sizeof buffer);
  if (got > 0) {
    output_.append(buffer, static_cast<size_t>(got));
    return true;
  }
  if (got < 0 && errno == EINTR) return false;
  // A pseudo-terminal answers EIO once the child has closed its side.
  eof_ = true;
  return false;
}

bool ChildSession::WaitFor(const std::string& text, int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    const size_t at = output_.find(text, searchFrom_);
    if (at != std::string::npos) {
      searchFrom_ = at + text.size();
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (!ReadSome(100) && eof_) return output_.find(text, searchFrom_) != std::string::npos;
  }
}

void ChildSession::Send(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(input_, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    done += static_cast<size_t>(put);
  }
}

void ChildSession::CloseInput() {
  if (mode_ == Mode::PseudoTerminal) {
    Send("\x04");
    return;
  }
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

int ChildSession::Finish(int timeoutSeconds) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    ReadSome(50);
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
  }
  pid_ = -1;
  while (ReadSome(50)) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace VendraUiTest
