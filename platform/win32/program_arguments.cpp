// Win32 layer only.
#include "platform/program_arguments.h"

#include "platform/command_line.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {

std::vector<std::u16string> ProgramArguments() {
  std::vector<std::u16string> arguments = SplitCommandLine(Win32::FromWide(::GetCommandLineW()));
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

}  // namespace VendraPlatform
