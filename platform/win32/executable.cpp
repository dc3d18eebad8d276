// Win32 layer only.
#include "platform/executable.h"

namespace VendraPlatform {

// Any file in a program's format can be started; there is nothing to mark.
uint32_t MarkExecutable(std::u16string_view, std::u16string_view) { return 0; }

}  // namespace VendraPlatform
