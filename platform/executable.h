#pragma once

#include <cstdint>
#include <string_view>

namespace VendraPlatform {

// Lets a file already in place be started as a program (a file written new
// gets its mode before it is placed: NewFile::Finish). Windows starts any file
// with a program's format; POSIX needs the execute permission, given here to
// everyone (read and execute) while only the owner may write. The file is
// reached as DeleteFileInside reaches it, its folder below within; a link at
// path is never followed, and anything but a regular file with a single
// name is refused (kAccessDenied). Answers a system error number, 0 on
// success.
uint32_t MarkExecutable(std::u16string_view within, std::u16string_view path);

}  // namespace VendraPlatform
