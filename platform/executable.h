#pragma once

#include <cstdint>
#include <string_view>

namespace VendraPlatform {

// Lets a file that was just written be started as a program. Windows starts
// any file with a program's format; POSIX needs the execute permission, given
// here to everyone (read and execute) while only the owner may write.
// Answers a system error number, 0 on success.
uint32_t MarkExecutable(std::u16string_view path);

}  // namespace VendraPlatform
