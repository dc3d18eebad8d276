// POSIX layer only.
#include "platform/executable.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/posix/errno_map.h"
#include "platform/posix/posix_text.h"

namespace VendraPlatform {

uint32_t MarkExecutable(std::u16string_view path) {
  std::string native = Posix::Native(path);
  for (char& c : native)
    if (c == '\\') c = '/';
  if (::chmod(native.c_str(), 0755) != 0) return Posix::SysErrorFromErrno(errno);
  return 0;
}

}  // namespace VendraPlatform
