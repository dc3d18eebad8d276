// POSIX layer only.
#include "platform/machine_identity.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/posix/errno_map.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

// The Windows value is read into a 128-byte buffer with its terminator.
constexpr size_t kLongestIdentifier = 127;
// The Windows name buffer holds 64 characters with its terminator.
constexpr size_t kNameBuffer = 64;

std::string MachineIdFile() {
  const char* root = std::getenv("VENDRA_MACHINE_ROOT");
  if (root && *root) return std::string(root) + "/etc/machine-id";
  return "/etc/machine-id";
}

}  // namespace

bool MachineIdentifier(std::string& text) {
  std::ifstream in(MachineIdFile(), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return false;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  if (line.size() > kLongestIdentifier) line.resize(kLongestIdentifier);
  if (line.empty()) return false;
  text = line;
  return true;
}

std::u16string MissingMachineIdentifierText() {
  return u"it is read from " + Posix::FromNative(MachineIdFile()) +
         u", which is missing, empty or unreadable; give the machine one "
         u"(systemd-machine-id-setup, with --root ROOT for the machine root VENDRA_MACHINE_ROOT "
         u"names, or 32 hexadecimal digits and a line end written to that file), then run this "
         u"again.";
}

uint32_t ComputerName(std::u16string& name) {
  char buffer[kNameBuffer] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return Posix::SysErrorFromErrno(errno);
  buffer[kNameBuffer - 1] = '\0';
  name = Posix::FromNative(buffer);
  return SysError::kSuccess;
}

}  // namespace VendraPlatform
