#pragma once

#include <cstdint>
#include <string>

namespace VendraPlatform {

// Full path of the running program's own file.
std::u16string ModuleFileName();

// Ends the own process at once with the exit code, without running any
// destructor or exit handler.
[[noreturn]] void TerminateCurrentProcess(uint32_t exitCode);

uint32_t CurrentProcessId();

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick.
uint32_t TickCountMs();

// Seconds since 1970-01-01 UTC.
int64_t NowUnixSeconds();

// Reads an environment variable as UTF-16; empty when unset.
std::u16string EnvironmentVariable(const char* name);

}  // namespace VendraPlatform

namespace VendraPlatform {

// Ending the own process, behind an interface so the driver's last step can
// be observed by tests.
class IProcessTerminator {
 public:
  virtual ~IProcessTerminator() = default;
  virtual void Terminate(uint32_t exitCode) = 0;
};

IProcessTerminator& SystemProcessTerminator();

}  // namespace VendraPlatform
