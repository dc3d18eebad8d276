// POSIX layer only.
#include "platform/process.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/posix/posix_text.h"

namespace VendraPlatform {

std::u16string ModuleFileName() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return Posix::FromNative(std::string_view(buffer, static_cast<size_t>(n)));
}

void TerminateCurrentProcess(uint32_t exitCode) {
  // What was printed so far still reaches its reader; nothing else runs.
  std::fflush(nullptr);
  ::_exit(static_cast<int>(exitCode & 0xFF));
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

uint32_t TickCountMs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

int64_t NowUnixSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::u16string EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value ? Posix::FromNative(value) : std::u16string();
}

}  // namespace VendraPlatform
