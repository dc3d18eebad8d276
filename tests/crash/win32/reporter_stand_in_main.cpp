// What the crash tests put where the crash reporter belongs, on Windows, when
// the real one must not run: it leaves a mark and waits, each only when the
// environment it inherited asks for it (VENDRA_TEST_REPORTER_MARK, _DELAY_MS),
// and never opens the reporter's window.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), 32767);
  value.resize(length < 32767 ? length : 0);
  return value;
}

}  // namespace

int main() {
  const std::wstring mark = Variable(L"VENDRA_TEST_REPORTER_MARK");
  if (!mark.empty()) {
    const HANDLE file =
        ::CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  }
  const std::wstring delay = Variable(L"VENDRA_TEST_REPORTER_DELAY_MS");
  if (!delay.empty()) ::Sleep(static_cast<DWORD>(std::stoul(delay)));
  return 0;
}
