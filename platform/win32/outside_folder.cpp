// Win32 layer only.
#include "platform/outside_folder.h"

#include "platform/paths.h"

namespace VendraPlatform {

// A backslash is the system's own separator: no name can hold one.
bool FolderFromOutside(std::u16string_view written, std::u16string& folder, std::u16string&) {
  folder = WithOwnSeparators(written);
  return true;
}

}  // namespace VendraPlatform
