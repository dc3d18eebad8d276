#include "tests/support/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace VendraTest {

struct RunningProgram::Process {
  pid_t pid = -1;
  // The writing end of a silent input, held open until the program ends.
  int inputWriter = -1;
  int exitCode = -1;
  bool ended = false;
};

RunningProgram::RunningProgram(const std::vector<std::string>& commandLine,
                               const ProgramStreams& streams)
    : process_(std::make_unique<Process>()) {
  if (commandLine.empty()) return;
  int input[2] = {-1, -1};
  if (streams.silentInput && ::pipe(input) != 0) return;
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
    if (input[1] >= 0) ::close(input[1]);
    std::vector<char*> argv;
    for (const auto& word : commandLine) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (input[0] >= 0) ::close(input[0]);
  process_->inputWriter = input[1];
  process_->pid = pid;
}

RunningProgram::~RunningProgram() {
  if (started() && !process_->ended) {
    Kill();
    Wait();
  }
  if (process_->inputWriter >= 0) ::close(process_->inputWriter);
}

bool RunningProgram::started() const { return process_->pid > 0; }

int RunningProgram::id() const { return process_->pid; }

void RunningProgram::Kill() {
  if (started() && !process_->ended) ::kill(process_->pid, SIGKILL);
}

int RunningProgram::Wait(int seconds) {
  if (!started()) return -1;
  if (process_->ended) return process_->exitCode;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(process_->pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (done == 0) {
    ::kill(process_->pid, SIGKILL);
    ::waitpid(process_->pid, &status, 0);
  } else if (done == process_->pid) {
    process_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  process_->ended = true;
  if (process_->inputWriter >= 0) {
    ::close(process_->inputWriter);
    process_->inputWriter = -1;
  }
  return process_->exitCode;
}

int RunProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams,
               int seconds) {
  RunningProgram program(commandLine, streams);
  return program.Wait(seconds);
}

std::string ProgramFileName(const std::string& name) { return name; }

}  // namespace VendraTest
