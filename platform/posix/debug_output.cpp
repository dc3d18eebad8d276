// POSIX layer only.
#include "platform/debug_output.h"

#include <cstdio>

#include "platform/posix/posix_text.h"

namespace VendraPlatform {

// POSIX has no debugger output channel; standard error is where a developer
// running the program looks.
void DebugOutput(std::u16string_view text) {
  const std::string line = Posix::Native(text);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace VendraPlatform
