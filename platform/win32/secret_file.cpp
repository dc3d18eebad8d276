// Win32 layer only.
#include "platform/secret_file.h"

#include <algorithm>

#include "platform/win32/windows_api.h"
// After windows.h, which it needs.
#include <sddl.h>

namespace VendraPlatform {

uint32_t CreateSecretFile(std::u16string_view path, std::string_view bytes) {
  // A protected access list with one entry: full control for the owner.
  // Nothing is inherited from the folder, so no group or other user reads it.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return ::GetLastError();
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  const std::wstring target = Win32::WidePath(path);
  // CREATE_NEW never opens what is already there, link or not.
  HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD createError = ::GetLastError();
  ::LocalFree(descriptor);
  if (file == INVALID_HANDLE_VALUE) return createError;
  DWORD err = 0;
  for (size_t done = 0; done < bytes.size() && !err;) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD put = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &put, nullptr)) err = ::GetLastError();
    done += put;
  }
  if (!err && !::FlushFileBuffers(file)) err = ::GetLastError();
  ::CloseHandle(file);
  if (err) ::DeleteFileW(target.c_str());
  return err;
}

}  // namespace VendraPlatform
