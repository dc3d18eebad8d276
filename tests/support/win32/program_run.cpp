// Programs under test started as Windows processes, their standard streams
// handed over as inheritable handles.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/text/utf.h"
#include "platform/command_line.h"
#include "tests/support/program_run.h"

namespace VendraTest {
namespace {

const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() {
    if (h_) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  HANDLE* receive() { return &h_; }

 private:
  HANDLE h_ = nullptr;
};

HANDLE OpenForAppending(const std::string& path, SECURITY_ATTRIBUTES& inherited) {
  return ::CreateFileW(W(VendraText::Utf8ToUtf16(path)), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams,
               int seconds) {
  if (commandLine.empty()) return -1;
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  Handle input;
  Handle inputWriter;
  if (streams.silentInput) {
    if (!::CreatePipe(input.receive(), inputWriter.receive(), &inherited, 0)) return -1;
    // Only the reading end goes to the child; this process keeps the other.
    ::SetHandleInformation(inputWriter.get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    *input.receive() = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherited, OPEN_EXISTING, 0, nullptr);
  }
  Handle output(OpenForAppending(streams.output, inherited));
  Handle errors(streams.errors.empty() ? INVALID_HANDLE_VALUE
                                       : OpenForAppending(streams.errors, inherited));
  if (!input.get() || !output.get() || (!streams.errors.empty() && !errors.get())) return -1;

  std::u16string line;
  for (const auto& word : commandLine)
    line += (line.empty() ? u"" : u" ") +
            VendraPlatform::QuoteCommandLineArgument(VendraText::Utf8ToUtf16(word));
  const std::u16string program = VendraText::Utf8ToUtf16(commandLine.front());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = output.get();
  startup.hStdError = errors.get() ? errors.get() : output.get();
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(W(program), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                        TRUE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  Handle thread(process.hThread);
  Handle child(process.hProcess);
  if (::WaitForSingleObject(child.get(), static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) {
    ::TerminateProcess(child.get(), 1);
    ::WaitForSingleObject(child.get(), 10000);
    return -1;
  }
  DWORD code = 0;
  return ::GetExitCodeProcess(child.get(), &code) ? static_cast<int>(code) : -1;
}

std::string ProgramFileName(const std::string& name) { return name + ".exe"; }

}  // namespace VendraTest
