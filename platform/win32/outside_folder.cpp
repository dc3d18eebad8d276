// Win32 layer only.
#include "platform/outside_folder.h"

namespace VendraPlatform {

// A backslash is the system's own separator, which no name can hold: every
// spelling means what the system reads in it.
bool FolderFromOutside(std::u16string_view written, std::u16string& folder, std::u16string&) {
  folder = written;
  return true;
}

}  // namespace VendraPlatform
