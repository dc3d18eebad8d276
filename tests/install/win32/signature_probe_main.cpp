// Checks the signature of each program named on its command line with the
// client library's own check, as the installer does before it starts one,
// and prints "<path>: <result> <text>" a line. Exit code 0 when every
// program passed, 1 otherwise. Used by the release step of the Windows script.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "common/text/utf.h"
#include "install/signature_verification.h"

int main() {
  int count = 0;
  wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!list || count < 2) {
    std::fputs("usage: signature_probe PROGRAM...\n", stderr);
    return 2;
  }
  int failed = 0;
  for (int i = 1; i < count; ++i) {
    const std::u16string path(reinterpret_cast<const char16_t*>(list[i]));
    std::u16string error;
    const auto result = VendraClient::VerifySignature(path, error);
    std::printf("%s: %d %s\n", VendraText::Utf16ToUtf8(path).c_str(), static_cast<int>(result),
                VendraText::Utf16ToUtf8(error).c_str());
    if (result != VendraClient::eVClientResult::Success) failed = 1;
  }
  ::LocalFree(list);
  return failed;
}
