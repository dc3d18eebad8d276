// POSIX layer only.
#include "platform/program_arguments.h"

#include <string>

#include "platform/files.h"
#include "platform/posix/posix_text.h"

namespace VendraPlatform {

// The kernel keeps the arguments as the program received them, each ended by
// a zero byte.
std::vector<std::u16string> ProgramArguments() {
  std::string bytes;
  std::vector<std::u16string> arguments;
  if (ReadWholeFile(u"/proc/self/cmdline", bytes) != 0) return arguments;
  size_t start = 0;
  bool first = true;
  while (start < bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    if (!first) arguments.push_back(Posix::FromNative(bytes.substr(start, end - start)));
    first = false;
    start = end + 1;
  }
  return arguments;
}

}  // namespace VendraPlatform
