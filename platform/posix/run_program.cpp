// POSIX layer only.
#include "platform/run_program.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errno_map.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

extern char** environ;

namespace VendraPlatform {

uint32_t RunProgram(const std::vector<std::u16string>& commandLine, int& exitCode) {
  exitCode = -1;
  if (commandLine.empty()) return SysError::kInvalidParameter;
  std::vector<std::string> arguments;
  for (const std::u16string& argument : commandLine) arguments.push_back(Posix::Native(argument));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = -1;
  const int spawnError = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) return Posix::SysErrorFromErrno(spawnError);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return Posix::SysErrorFromErrno(errno);
  }
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return 0;
}

}  // namespace VendraPlatform
