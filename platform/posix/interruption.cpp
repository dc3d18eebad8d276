// POSIX layer only.
#include "platform/interruption.h"

#include <signal.h>

#include <iterator>

namespace VendraPlatform {
namespace {

constexpr int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can only reach state of the process.
volatile sig_atomic_t g_requested = 0;
struct sigaction g_previous[std::size(kStoppingSignals)];

extern "C" void AskToStop(int signal) {
  if (!g_requested) {
    g_requested = 1;
    return;
  }
  // Asked twice: the signal does what it would have done.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

InterruptionWatch::InterruptionWatch() {
  g_requested = 0;
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

bool InterruptionWatch::Requested() const { return g_requested != 0; }

}  // namespace VendraPlatform
