#pragma once

#include <sys/types.h>

#include <functional>

namespace VendraTest {

// A forked child that runs body, as this process's user or as the
// unprivileged one (unprivileged.h), and then stays, keeping whatever body
// took, until it is told to end or killed. POSIX only.
class ForkedChild {
 public:
  enum class User { Same, Unprivileged };

  explicit ForkedChild(const std::function<bool()>& body, User user = User::Same);
  ~ForkedChild();
  ForkedChild(const ForkedChild&) = delete;
  ForkedChild& operator=(const ForkedChild&) = delete;

  // Waits for body and answers what it answered.
  bool Ready();
  // Lets the child end normally.
  void Finish();
  void Kill();
  pid_t pid() const { return pid_; }

 private:
  void Reap();

  pid_t pid_ = -1;
  int readyFd_ = -1;
  int goFd_ = -1;
};

}  // namespace VendraTest
