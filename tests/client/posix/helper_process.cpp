#include "tests/client/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace VendraTest {

// The helper reads its commands on descriptor 3 and answers on 4.
struct HelperProcess::Process {
  pid_t pid = -1;
  int input = -1;
  int output = -1;
};

HelperProcess::HelperProcess() : process_(std::make_unique<Process>()) {
  int toChild[2];
  int fromChild[2];
  // Close-on-exec, so that later helpers do not keep this one's input open.
  if (::pipe2(toChild, O_CLOEXEC) != 0) return;
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    ::close(toChild[0]);
    ::close(toChild[1]);
    return;
  }
  std::string program = VENDRA_SESSION_HELPER;
  char* argv[] = {program.data(), nullptr};
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
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
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  ::close(toChild[0]);
  ::close(fromChild[1]);
  if (pid < 0) {
    ::close(toChild[1]);
    ::close(fromChild[0]);
    return;
  }
  process_->pid = pid;
  process_->input = toChild[1];
  process_->output = fromChild[0];
}

HelperProcess::~HelperProcess() {
  Kill();
  if (process_->input >= 0) ::close(process_->input);
  if (process_->output >= 0) ::close(process_->output);
}

bool HelperProcess::Send(const std::string& command) {
  if (process_->input < 0) return false;
  const std::string line = command + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t put = ::write(process_->input, line.data() + done, line.size() - done);
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

bool HelperProcess::ReadMore(std::chrono::steady_clock::time_point deadline) {
  if (process_->output < 0) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  pollfd wait{process_->output, POLLIN, 0};
  if (::poll(&wait, 1, static_cast<int>(left.count() > 0 ? left.count() : 0)) <= 0) return true;
  char block[512];
  const ssize_t got = ::read(process_->output, block, sizeof block);
  if (got <= 0) return false;
  buffered_.append(block, static_cast<size_t>(got));
  return true;
}

int HelperProcess::Finish() {
  if (process_->input >= 0) ::close(process_->input);
  process_->input = -1;
  if (process_->pid <= 0) return -1;
  int status = 0;
  const pid_t done = ::waitpid(process_->pid, &status, 0);
  process_->pid = -1;
  if (done <= 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void HelperProcess::Kill() {
  if (process_->pid <= 0) return;
  ::kill(process_->pid, SIGKILL);
  int status = 0;
  ::waitpid(process_->pid, &status, 0);
  process_->pid = -1;
}

}  // namespace VendraTest
