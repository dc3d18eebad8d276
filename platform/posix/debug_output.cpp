// POSIX layer only.
#include "platform/debug_output.h"

#include <cstdio>

#include "common/text/terminal_text.h"
#include "platform/posix/posix_text.h"

namespace VendraPlatform {

// POSIX has no debugger output channel; standard error is where a developer
// running the program looks.
void DebugOutput(std::u16string_view text) {
  const std::string line = Posix::Native(VendraText::ShownOnTerminal(text));
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace VendraPlatform
