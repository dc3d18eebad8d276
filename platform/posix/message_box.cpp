// POSIX layer only.
#include "platform/message_box.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/text/terminal_text.h"
#include "platform/posix/posix_text.h"

namespace VendraPlatform {
namespace {

// Without a desktop the box is printed on standard error: the caption on one
// line, the text, and the one button. A person at a terminal confirms it with
// Enter; a script is not kept waiting.
class TerminalMessageBox final : public IMessageBox {
 public:
  void Show(std::u16string_view caption, std::u16string_view text) override {
    std::string out = Posix::Native(VendraText::ShownOnTerminal(caption));
    out += '\n';
    out += Posix::Native(VendraText::ShownOnTerminal(text));
    out += "\n[OK]\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
    if (::isatty(STDIN_FILENO)) {
      int c;
      do c = std::getchar();
      while (c != '\n' && c != EOF);
    }
  }
};

}  // namespace

IMessageBox& SystemMessageBox() {
  static TerminalMessageBox box;
  return box;
}

}  // namespace VendraPlatform
