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

struct RunningProgram::Process {
  Handle process;
  // The writing end of a silent input, held open until the program ends.
  Handle inputWriter;
  DWORD id = 0;
  int exitCode = -1;
  bool ended = false;
};

RunningProgram::RunningProgram(const std::vector<std::string>& commandLine,
                               const ProgramStreams& streams)
    : process_(std::make_unique<Process>()) {
  if (commandLine.empty()) return;
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  Handle input;
  if (streams.silentInput) {
    if (!::CreatePipe(input.receive(), process_->inputWriter.receive(), &inherited, 0)) return;
    // Only the reading end goes to the child; this process keeps the other.
    ::SetHandleInformation(process_->inputWriter.get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    *input.receive() = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherited, OPEN_EXISTING, 0, nullptr);
  }
  Handle output(OpenForAppending(streams.output, inherited));
  Handle errors(streams.errors.empty() ? INVALID_HANDLE_VALUE
                                       : OpenForAppending(streams.errors, inherited));
  if (!input.get() || !output.get() || (!streams.errors.empty() && !errors.get())) return;

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
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(W(program), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                        TRUE, 0, nullptr, nullptr, &startup, &started))
    return;
  Handle thread(started.hThread);
  *process_->process.receive() = started.hProcess;
  process_->id = started.dwProcessId;
}

RunningProgram::~RunningProgram() {
  if (started() && !process_->ended) {
    Kill();
    Wait();
  }
}

bool RunningProgram::started() const { return process_->process.get() != nullptr; }

int RunningProgram::id() const { return static_cast<int>(process_->id); }

void RunningProgram::Kill() {
  if (started() && !process_->ended) ::TerminateProcess(process_->process.get(), 1);
}

int RunningProgram::Wait(int seconds) {
  if (!started()) return -1;
  if (process_->ended) return process_->exitCode;
  HANDLE child = process_->process.get();
  if (::WaitForSingleObject(child, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) {
    ::TerminateProcess(child, 1);
    ::WaitForSingleObject(child, 10000);
  } else if (DWORD code = 0; ::GetExitCodeProcess(child, &code)) {
    process_->exitCode = static_cast<int>(code);
  }
  process_->ended = true;
  return process_->exitCode;
}

int RunProgram(const std::vector<std::string>& commandLine, const ProgramStreams& streams,
               int seconds) {
  RunningProgram program(commandLine, streams);
  return program.Wait(seconds);
}

std::string ProgramFileName(const std::string& name) { return name + ".exe"; }

}  // namespace VendraTest
