// Win32 layer only.
#include "platform/interruption.h"

#include <atomic>

#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

// The console's handler runs on a thread of its own and can only reach
// state of the process.
std::atomic<bool> g_requested{false};

BOOL WINAPI AskToStop(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // Asked twice: the next handler (the system's) ends the program.
  if (g_requested.exchange(true)) return FALSE;
  return TRUE;
}

}  // namespace

InterruptionWatch::InterruptionWatch() {
  g_requested = false;
  SetConsoleCtrlHandler(AskToStop, TRUE);
}

InterruptionWatch::~InterruptionWatch() { SetConsoleCtrlHandler(AskToStop, FALSE); }

bool InterruptionWatch::Requested() const { return g_requested.load(); }

}  // namespace VendraPlatform
