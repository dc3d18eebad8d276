// POSIX layer only.
#include "platform/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
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

// The terminal settings to put back if a signal ends the program while echo
// is off. Written before the handlers are installed and only read by them.
termios g_savedTerminal{};
volatile sig_atomic_t g_echoOff = 0;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Puts echo back, then lets the signal do what it would have done.
extern "C" void RestoreEchoAndReraise(int signal) {
  if (g_echoOff) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
  g_echoOff = 0;
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Echo is switched off for one line and restored on every way out: the
// destructor, and a signal that ends the program meanwhile (Ctrl-C at the
// password prompt must not leave the person's terminal without echo).
class EchoOff {
 public:
  explicit EchoOff(bool wanted) {
    if (!wanted || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    g_savedTerminal = saved_;
    struct sigaction handler {};
    handler.sa_handler = RestoreEchoAndReraise;
    sigemptyset(&handler.sa_mask);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
      ::sigaction(kEndingSignals[i], nullptr, &previous_[i]);
      // A signal the program ignores stays ignored.
      if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &handler, nullptr);
    }
    g_echoOff = 1;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    if (!active_) Restore();
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    Restore();
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  void Restore() {
    if (!g_echoOff) return;
    g_echoOff = 0;
    for (size_t i = 0; i < std::size(kEndingSignals); ++i)
      ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }

  termios saved_{};
  struct sigaction previous_[std::size(kEndingSignals)] {};
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
