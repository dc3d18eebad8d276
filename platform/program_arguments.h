#pragma once

#include <string>
#include <vector>

namespace VendraPlatform {

// The arguments the program was started with, without its own name.
std::vector<std::u16string> ProgramArguments();

}  // namespace VendraPlatform
