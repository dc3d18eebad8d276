// The session helper as a Windows process: its commands and answers travel
// through two pipes whose handles it inherits and is told on its command
// line; its standard streams are the null device.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "common/text/utf.h"
#include "platform/command_line.h"
#include "tests/client/helper_process.h"

namespace VendraTest {
namespace {

void Close(HANDLE& handle) {
  if (handle) ::CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

struct HelperProcess::Process {
  HANDLE process = nullptr;
  HANDLE input = nullptr;
  HANDLE output = nullptr;
};

HelperProcess::HelperProcess() : process_(std::make_unique<Process>()) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE commands = nullptr;
  HANDLE answers = nullptr;
  if (!::CreatePipe(&commands, &process_->input, &inherited, 0)) return;
  if (!::CreatePipe(&process_->output, &answers, &inherited, 0)) {
    Close(commands);
    Close(process_->input);
    return;
  }
  // This process's ends stay here, so that later helpers do not keep this
  // one's input open.
  ::SetHandleInformation(process_->input, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(process_->output, HANDLE_FLAG_INHERIT, 0);
  HANDLE null = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                              nullptr);

  const std::u16string program = VendraText::Utf8ToUtf16(VENDRA_SESSION_HELPER);
  std::u16string line = VendraPlatform::QuoteCommandLineArgument(program) + u" " +
                        VendraText::Utf8ToUtf16(std::to_string(reinterpret_cast<uintptr_t>(commands))) +
                        u" " +
                        VendraText::Utf8ToUtf16(std::to_string(reinterpret_cast<uintptr_t>(answers)));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null;
  startup.hStdOutput = null;
  startup.hStdError = null;
  PROCESS_INFORMATION started{};
  if (null != INVALID_HANDLE_VALUE &&
      ::CreateProcessW(reinterpret_cast<const wchar_t*>(program.c_str()),
                       reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &started)) {
    ::CloseHandle(started.hThread);
    process_->process = started.hProcess;
  }
  if (null != INVALID_HANDLE_VALUE) ::CloseHandle(null);
  Close(commands);
  Close(answers);
  if (!process_->process) {
    Close(process_->input);
    Close(process_->output);
  }
}

HelperProcess::~HelperProcess() {
  Kill();
  Close(process_->input);
  Close(process_->output);
}

bool HelperProcess::Send(const std::string& command) {
  if (!process_->input) return false;
  const std::string line = command + "\n";
  size_t done = 0;
  while (done < line.size()) {
    DWORD put = 0;
    if (!::WriteFile(process_->input, line.data() + done, static_cast<DWORD>(line.size() - done),
                     &put, nullptr) ||
        put == 0)
      return false;
    done += put;
  }
  return true;
}

bool HelperProcess::ReadMore(std::chrono::steady_clock::time_point deadline) {
  // An anonymous pipe has no waiting with a time limit: look, then read
  // only what is there.
  while (process_->output) {
    DWORD waiting = 0;
    if (!::PeekNamedPipe(process_->output, nullptr, 0, nullptr, &waiting, nullptr)) return false;
    if (waiting > 0) {
      char block[512];
      DWORD got = 0;
      if (!::ReadFile(process_->output, block, waiting < sizeof block ? waiting : sizeof block,
                      &got, nullptr) ||
          got == 0)
        return false;
      buffered_.append(block, got);
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

int HelperProcess::Finish() {
  Close(process_->input);
  if (!process_->process) return -1;
  const bool ended = ::WaitForSingleObject(process_->process, 120000) == WAIT_OBJECT_0;
  DWORD code = 0;
  const bool known = ended && ::GetExitCodeProcess(process_->process, &code);
  if (!ended) ::TerminateProcess(process_->process, 1);
  Close(process_->process);
  return known ? static_cast<int>(code) : -1;
}

void HelperProcess::Kill() {
  if (!process_->process) return;
  ::TerminateProcess(process_->process, 1);
  ::WaitForSingleObject(process_->process, 10000);
  Close(process_->process);
}

}  // namespace VendraTest
