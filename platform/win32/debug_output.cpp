// Win32 layer only.
#include "platform/debug_output.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace VendraPlatform {

void DebugOutput(std::u16string_view text) {
  const std::wstring wide = Win32::Wide(text);
  ::OutputDebugStringW(wide.c_str());
}

}  // namespace VendraPlatform
