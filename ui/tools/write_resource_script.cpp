// Writes the Windows resource script of the dialog templates to the file
// named on the command line.
#include <cstdio>
#include <string>

#include "ui/dialog_templates.h"
#include "ui/resource_script.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
    return 2;
  }
  const std::string script = VendraUi::RenderResourceScript(VendraUi::AllTemplates());
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(script.data(), 1, script.size(), out) == script.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
