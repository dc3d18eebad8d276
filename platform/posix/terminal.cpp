// POSIX layer only.
#include "platform/terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/memory/wipe.h"
#include "common/text/terminal_text.h"

#include "platform/posix/posix_text.h"

namespace VendraPlatform {
namespace {

constexpr uint32_t kInvalidHandle = 6;

// A standard stream that was closed when the program started would be taken
// by the next file the program opens (the session file, a lock), and the
// dialogs would read answers from it or print into it. Before any other
// initialiser runs, each closed one is held by the null device opened for
// writing only: output is discarded, and input counts as absent.
__attribute__((constructor(101))) void HoldClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    const int held = ::open("/dev/null", O_WRONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

// Echo is switched off for one line and restored on every way out.
class EchoOff {
 public:
  explicit EchoOff(bool wanted) {
    if (!wanted || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

// Reads through the C library's stdin so that it shares one buffer with the
// terminal message box, which waits for Enter the same way.
class StdioTerminal final : public ITerminal {
 public:
  bool Available(uint32_t& error) override {
    // Closed, or taken over by a file opened for writing only.
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    if (flags == -1 || (flags & O_ACCMODE) == O_WRONLY) {
      error = kInvalidHandle;
      return false;
    }
    return true;
  }

  void Write(std::u16string_view text) override {
    const std::string out = Posix::Native(VendraText::ShownOnTerminal(text));
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  }

  bool ReadLine(std::u16string_view prompt, std::u16string& line, bool hidden) override {
    std::string bytes;
    bool gotAny = false;
    {
      EchoOff echo(hidden && ::isatty(STDIN_FILENO));
      Write(prompt);
      int c;
      while ((c = std::fgetc(stdin)) != EOF) {
        gotAny = true;
        if (c == '\n') break;
        bytes.push_back(static_cast<char>(c));
      }
    }
    if (!gotAny) {
      std::clearerr(stdin);
      return false;
    }
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    line = Posix::FromNative(bytes);
    Vendra::WipeText(bytes);
    return true;
  }
};

}  // namespace

ITerminal& SystemTerminal() {
  static StdioTerminal terminal;
  return terminal;
}

}  // namespace VendraPlatform
