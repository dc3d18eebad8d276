#include "tests/support/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace VendraTest {

int RunProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams,
               int seconds) {
  if (commandLine.empty()) return -1;
  int input[2] = {-1, -1};
  if (streams.silentInput && ::pipe(input) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = streams.silentInput ? input[0] : ::open("/dev/null", O_RDONLY);
    const int out = ::open(streams.output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int err = streams.errors.empty()
                        ? out
                        : ::open(streams.errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0)
      ::_exit(127);
    std::vector<char*> argv;
    for (const auto& word : commandLine) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  // The writing end stays open here until the program has ended.
  if (input[0] >= 0) ::close(input[0]);
  int result = -1;
  if (pid > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (done == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    } else if (done == pid) {
      result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
  }
  if (input[1] >= 0) ::close(input[1]);
  return result;
}

std::string ProgramFileName(const std::string& name) { return name; }

}  // namespace VendraTest
