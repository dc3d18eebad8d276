#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraPlatform {

// The program's text console: standard output for what it shows, standard
// input for what a person (or a script feeding a pipe) types.
class ITerminal {
 public:
  virtual ~ITerminal() = default;
  // False, with a system error number, when there is nothing to read from
  // (standard input is closed).
  virtual bool Available(uint32_t& error) = 0;
  virtual void Write(std::u16string_view text) = 0;
  // Shows the prompt and reads one line without its line end; false at the
  // end of input. With hidden set, what is typed at an interactive terminal
  // is not echoed (echo goes off before the prompt appears, so nothing typed
  // after it is shown). The line's bytes are wiped from the reader's own
  // buffers.
  virtual bool ReadLine(std::u16string_view prompt, std::u16string& line, bool hidden) = 0;
};

ITerminal& SystemTerminal();

}  // namespace VendraPlatform
