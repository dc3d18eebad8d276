// Win32 layer only.
#include "platform/launcher.h"


#include <string>

#include "platform/files.h"
#include "platform/sys_error.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

// The shell's answer is a pseudo-handle whose value is above 32 on success
// and the error number otherwise.
uint32_t Answer(HINSTANCE result) {
  return static_cast<uint32_t>(reinterpret_cast<INT_PTR>(result));
}

class ShellLauncher final : public ILauncher {
 public:
  uint32_t Open(std::u16string_view program, std::u16string_view parameters,
                std::u16string_view workingFolder) override {
    // Wine starts the program in the caller's folder when the working folder
    // is missing; the program must never run somewhere it did not ask for,
    // so that case is refused here on every system, as the POSIX layer does.
    if (!workingFolder.empty() && !FolderExists(workingFolder)) return SysError::kPathNotFound;
    const std::wstring file = Win32::Wide(program);
    const std::wstring args = Win32::Wide(parameters);
    const std::wstring folder = Win32::Wide(workingFolder);
    return Answer(::ShellExecuteW(nullptr, L"open", file.c_str(), args.empty() ? nullptr : args.c_str(),
                                  folder.empty() ? nullptr : folder.c_str(), SW_SHOW));
  }

  uint32_t OpenAddress(std::u16string_view address) override {
    const std::wstring target = Win32::Wide(address);
    return Answer(::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  }
};

}  // namespace

ILauncher& SystemLauncher() {
  static ShellLauncher launcher;
  return launcher;
}

}  // namespace VendraPlatform
