#pragma once

#include <cstdint>
#include <string_view>

namespace VendraPlatform {

// Starting another program the way the shell's "open" does. The answer is
// above 32 on success; on failure it is 2 (file not found), 3 (path not
// found), 5 (access denied), 11 (bad format) or another value up to 32.
class ILauncher {
 public:
  virtual ~ILauncher() = default;
  // parameters is one command-line string, split into arguments by the
  // Windows quoting rules; the started program outlives the caller.
  virtual uint32_t Open(std::u16string_view program, std::u16string_view parameters,
                        std::u16string_view workingFolder) = 0;
  // Opens an address (a web page) with the desktop's handler.
  virtual uint32_t OpenAddress(std::u16string_view address) = 0;
};

// This system's launcher, made on first use and kept for the whole run.
ILauncher& SystemLauncher();

}  // namespace VendraPlatform
