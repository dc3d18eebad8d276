#include "tests/support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace VendraTest {
namespace {
constexpr uid_t kNobody = 65534;
}

bool CanDropPrivileges() { return ::geteuid() == 0; }

unsigned UnprivilegedUid() { return CanDropPrivileges() ? kNobody : ::geteuid(); }

bool BecomeUnprivileged() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

int RunUnprivileged(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (!BecomeUnprivileged()) ::_exit(121);
    const int code = body();
    std::fflush(nullptr);
    ::_exit(code);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace VendraTest
