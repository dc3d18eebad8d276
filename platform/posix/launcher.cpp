// POSIX layer only.
#include "platform/launcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

using Posix::NativePath;

// What the shell answers for a started program: any value above 32.
constexpr uint32_t kLaunched = 42;

// The shell's answers for the ways a start can fail.
uint32_t LaunchAnswer(int err, const std::string& program, bool folderMissing) {
  if (folderMissing) return SysError::kPathNotFound;
  switch (err) {
    case ENOENT: {
      const size_t cut = program.find_last_of('/');
      struct stat st;
      if (cut != std::string::npos && cut > 0 &&
          ::stat(program.substr(0, cut).c_str(), &st) != 0)
        return SysError::kPathNotFound;
      return SysError::kFileNotFound;
    }
    case ENOTDIR: return SysError::kPathNotFound;
    case EACCES:
    case EPERM: return SysError::kAccessDenied;
    case ENOEXEC:
    case ELIBBAD: return SysError::kBadFormat;
    default: return SysError::kBadFormat;
  }
}

// Starts program detached from this process (a grandchild in a session of
// its own), so it goes on after the caller ends. A pipe closed on exec tells
// whether exec succeeded: it stays empty on success and carries errno and a
// flag on failure.
uint32_t Spawn(const std::string& program, const std::vector<std::string>& args,
               const std::string& folder) {
  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) return SysError::kNotEnoughMemory;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    return SysError::kNotEnoughMemory;
  }
  if (child == 0) {
    ::close(pipefd[0]);
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    int report[2] = {0, 0};
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
      report[0] = errno;
      report[1] = 1;
    } else {
      if (program.find('/') != std::string::npos) ::execv(program.c_str(), argv.data());
      else ::execvp(program.c_str(), argv.data());
      report[0] = errno;
    }
    [[maybe_unused]] ssize_t w = ::write(pipefd[1], report, sizeof report);
    ::_exit(127);
  }
  ::close(pipefd[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int report[2] = {0, 0};
  ssize_t got;
  do got = ::read(pipefd[0], report, sizeof report);
  while (got < 0 && errno == EINTR);
  ::close(pipefd[0]);
  if (got == static_cast<ssize_t>(sizeof report)) return LaunchAnswer(report[0], program, report[1] == 1);
  return kLaunched;
}

class PosixLauncher final : public ILauncher {
 public:
  uint32_t Open(std::u16string_view program, std::u16string_view parameters,
                std::u16string_view workingFolder) override {
    if (program.empty()) return SysError::kFileNotFound;
    std::vector<std::string> args;
    for (const auto& a : SplitCommandLine(parameters)) args.push_back(Posix::Native(a));
    return Spawn(NativePath(program), args, NativePath(workingFolder));
  }

  uint32_t OpenAddress(std::u16string_view address) override {
    return Spawn("xdg-open", {Posix::Native(address)}, {});
  }
};

}  // namespace

ILauncher& SystemLauncher() {
  static PosixLauncher launcher;
  return launcher;
}

}  // namespace VendraPlatform
