// POSIX layer only.
#include "platform/outside_folder.h"

#include "common/text/format.h"

namespace VendraPlatform {

bool FolderFromOutside(std::u16string_view written, std::u16string& folder,
                       std::u16string& problem) {
  if (written.find(u'\\') != std::u16string_view::npos) {
    problem = VendraText::Format(
        u"The folder \"%ls\" has a backslash in its name, which would be read as a separator "
        u"and name another folder. Use a folder without one.",
        written);
    return false;
  }
  folder = written;
  return true;
}

}  // namespace VendraPlatform
