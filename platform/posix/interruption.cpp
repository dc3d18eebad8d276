// POSIX layer only.
#include "platform/interruption.h"

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace VendraPlatform {
namespace {

constexpr int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can only reach state of the process. Atomic rather than
// a plain sig_atomic_t: the install's worker threads read it while the
// handler runs on another thread.
std::atomic<int> g_requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");
struct sigaction g_previous[std::size(kStoppingSignals)];

extern "C" void AskToStop(int signal) {
  const int saved = errno;
  if (g_requested.exchange(1) == 0) {
    errno = saved;
    return;
  }
  // Asked twice: the signal does what it would have done.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  errno = saved;
}

}  // namespace

InterruptionWatch::InterruptionWatch() {
  g_requested.store(0);
  struct sigaction handler {};
  handler.sa_handler = AskToStop;
  sigemptyset(&handler.sa_mask);
  for (size_t i = 0; i < std::size(kStoppingSignals); ++i) {
    ::sigaction(kStoppingSignals[i], nullptr, &g_previous[i]);
    // A signal the program was told to ignore stays ignored.
    if (g_previous[i].sa_handler != SIG_IGN) ::sigaction(kStoppingSignals[i], &handler, nullptr);
  }
}

InterruptionWatch::~InterruptionWatch() {
  for (size_t i = 0; i < std::size(kStoppingSignals); ++i)
    ::sigaction(kStoppingSignals[i], &g_previous[i], nullptr);
}

bool InterruptionWatch::Requested() const { return g_requested.load() != 0; }

}  // namespace VendraPlatform
