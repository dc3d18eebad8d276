#include "tests/support/forked_child.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/support/unprivileged.h"

namespace VendraTest {

ForkedChild::ForkedChild(const std::function<bool()>& body, User user) {
  int ready[2];
  int go[2];
  if (::pipe(ready) != 0) return;
  if (::pipe(go) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return;
  }
  std::fflush(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    ::close(go[1]);
    const bool done = (user == User::Same || BecomeUnprivileged()) && body();
    const char answer = done ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(3);
    char c;
    while (::read(go[0], &c, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(go[0]);
  readyFd_ = ready[0];
  goFd_ = go[1];
}

ForkedChild::~ForkedChild() {
  if (pid_ > 0) Kill();
  if (readyFd_ >= 0) ::close(readyFd_);
  if (goFd_ >= 0) ::close(goFd_);
}

bool ForkedChild::Ready() {
  char c = 0;
  return readyFd_ >= 0 && ::read(readyFd_, &c, 1) == 1 && c == 'y';
}

void ForkedChild::Finish() {
  if (goFd_ >= 0) ::close(goFd_);
  goFd_ = -1;
  Reap();
}

void ForkedChild::Kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
  if (goFd_ >= 0) ::close(goFd_);
  goFd_ = -1;
  Reap();
}

void ForkedChild::Reap() {
  if (pid_ <= 0) return;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace VendraTest
