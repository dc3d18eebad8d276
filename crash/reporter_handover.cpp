#include "crash/reporter_handover.h"

#include <atomic>
#include <cstdio>
#include <thread>

#include "common/text/format.h"
#include "platform/command_line.h"
#include "platform/process.h"

namespace VendraCrash {
namespace {

using VendraClient::eVClientResult;

constexpr char16_t kNotStarted[] = u"CreateProcess Failed. GetLastError() = %d";
constexpr char16_t kNotCopied[] = u"Memory copy failed. GetLastError() = %d";
constexpr char16_t kNoWindow[] = u"CreateProcess failed. No Crash Reporter window found!";
constexpr char kNotReleased[] = "VirtualFreeEx failed: %d\n";

std::atomic<int64_t> g_windowWaitMs{kReporterWindowWait.count()};

// Looks for the reporter's window every poll interval until it is found or
// more than the wait has passed since the search began.
bool AwaitReporterWindow(VendraPlatform::ICrashHandover& handover, std::u16string_view token) {
  const auto began = std::chrono::steady_clock::now();
  const std::chrono::milliseconds wait = ReporterWindowWait();
  while (!handover.FindReceiver(kReporterWindowClass, token)) {
    if (std::chrono::steady_clock::now() - began > wait) return false;
    std::this_thread::sleep_for(kReporterWindowPoll);
  }
  return true;
}

}  // namespace

std::u16string HandoverToken(int64_t unixSeconds, uint32_t processId) {
  const uint64_t value =
      (static_cast<uint64_t>(static_cast<uint32_t>(unixSeconds)) << 32) | processId;
  return VendraText::Format(u"%016I64X", value);
}

// The line is as long as it needs to be: a fixed buffer would cut a long
// data-folder path into the name of some other program.
std::u16string ReporterCommandLine(std::u16string_view reporterPath, std::u16string_view token) {
  return VendraText::Format(u"%ls %ls", VendraPlatform::QuoteCommandLineArgument(reporterPath),
                            token);
}

eVClientResult HandOverCrashReport(VendraPlatform::ICrashHandover& handover,
                                   std::u16string_view reporterPath,
                                   const VendraJSON::VSJObject& report, std::u16string& error) {
  const std::u16string token =
      HandoverToken(VendraPlatform::NowUnixSeconds(), VendraPlatform::CurrentProcessId());
  if (const uint32_t started = handover.Start(ReporterCommandLine(reporterPath, token))) {
    error = VendraText::Format(kNotStarted, static_cast<int32_t>(started));
    return eVClientResult::LaunchFailed;
  }
  std::string text;
  report.WriteJSONA(text, false, 0, "");
  // The reporter gets the text with its terminating zero byte.
  const size_t size = text.size() + 1;

  eVClientResult result = eVClientResult::Success;
  if (const uint32_t placed = handover.Place(text.c_str(), size)) {
    error = VendraText::Format(kNotCopied, static_cast<int32_t>(placed));
    result = eVClientResult::MemoryCopyFailed;
  } else if (!AwaitReporterWindow(handover, token)) {
    error = kNoWindow;
    result = eVClientResult::LaunchFailed;
  } else if (const uint32_t delivered = handover.Deliver(kReportMessage)) {
    // The reporter went away before it had taken the report: the report
    // did not arrive, which must not pass for success.
    error = VendraText::Format(kNotCopied, static_cast<int32_t>(delivered));
    result = eVClientResult::MemoryCopyFailed;
  }
  if (const uint32_t released = handover.Release()) {
    std::printf(kNotReleased, static_cast<int>(released));
    std::fflush(stdout);
  }
  return result;
}

std::chrono::milliseconds ReporterWindowWait() {
  return std::chrono::milliseconds(g_windowWaitMs.load());
}

void SetReporterWindowWaitForTesting(std::chrono::milliseconds wait) {
  g_windowWaitMs.store(wait.count());
}

}  // namespace VendraCrash
