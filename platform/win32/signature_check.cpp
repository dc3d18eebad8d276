// Win32 layer only.
#include "platform/signature_check.h"

#include <string>

#include "platform/win32/windows_api.h"
// The trust provider's headers need windows.h and wincrypt.h first.
#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

namespace VendraPlatform {

SignatureCheck CheckFileSignature(std::u16string_view path) {
  const std::wstring widePath = Win32::Wide(path);

  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = widePath.c_str();
  fileInfo.hFile = nullptr;
  fileInfo.pgKnownSubject = nullptr;

  WINTRUST_DATA trustData = {};
  trustData.cbStruct = sizeof trustData;
  trustData.dwUIChoice = WTD_UI_NONE;
  trustData.fdwRevocationChecks = WTD_REVOKE_NONE;
  trustData.dwUnionChoice = WTD_CHOICE_FILE;
  trustData.pFile = &fileInfo;
  trustData.dwStateAction = WTD_STATEACTION_VERIFY;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  SignatureCheck check;
  check.status = static_cast<uint32_t>(::WinVerifyTrust(nullptr, &action, &trustData));
  // Taken before the closing call, which may change it.
  check.lastError = ::GetLastError();

  // The verification state is released whatever the answer was.
  trustData.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(nullptr, &action, &trustData);
  return check;
}

}  // namespace VendraPlatform
