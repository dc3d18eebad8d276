#include "tests/client/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

namespace VendraTest {

std::string SessionHelperProgram() { return VENDRA_SESSION_HELPER; }

HelperProcess::HelperProcess(const std::vector<std::string>& extraEnvironment) {
  int toChild[2];
  int fromChild[2];
  // Close-on-exec, so that later helpers do not keep this one's input open.
  if (::pipe2(toChild, O_CLOEXEC) != 0) return;
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    ::close(toChild[0]);
    ::close(toChild[1]);
    return;
  }
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
  for (const auto& extra : extraEnvironment) environment.push_back(extra);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = SessionHelperProgram();
  char* argv[] = {program.data(), nullptr};
  std::fflush(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    // Commands on descriptor 3, answers on 4; standard input and output go
    // to /dev/null, so a window the client opens finds no one to answer it.
    const int commands = ::fcntl(toChild[0], F_DUPFD, 10);
    const int answers = ::fcntl(fromChild[1], F_DUPFD, 10);
    const int null = ::open("/dev/null", O_RDWR);
    if (commands < 0 || answers < 0 || null < 0) ::_exit(126);
    ::dup2(commands, 3);
    ::dup2(answers, 4);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::close(commands);
    ::close(answers);
    ::close(null);
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  ::close(toChild[0]);
  ::close(fromChild[1]);
  input_ = toChild[1];
  output_ = fromChild[0];
  if (pid_ < 0) {
    ::close(input_);
    ::close(output_);
    input_ = output_ = -1;
  }
}

HelperProcess::~HelperProcess() {
  if (pid_ > 0) Kill();
  if (input_ >= 0) ::close(input_);
  if (output_ >= 0) ::close(output_);
}

bool HelperProcess::Send(const std::string& command) {
  if (input_ < 0) return false;
  const std::string line = command + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t put = ::write(input_, line.data() + done, line.size() - done);
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

std::string HelperProcess::ReadLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const size_t end = buffered_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (output_ < 0 || left.count() <= 0) return std::string();
    pollfd wait{output_, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
    char block[512];
    const ssize_t got = ::read(output_, block, sizeof block);
    if (got <= 0) return std::string();
    buffered_.append(block, static_cast<size_t>(got));
  }
}

std::string HelperProcess::Call(const std::string& command, int timeoutMs) {
  if (!Send(command)) return std::string();
  return ReadLine(timeoutMs);
}

int HelperProcess::Finish() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (pid_ <= 0) return -1;
  int status = 0;
  const pid_t done = ::waitpid(pid_, &status, 0);
  pid_ = -1;
  if (done <= 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void HelperProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace VendraTest
