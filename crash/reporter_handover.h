#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "client/result.h"
#include "json/object.h"
#include "platform/crash_handover.h"

namespace VendraCrash {

// What the crash reporter program and its callers agree on: its place below
// the data folder,
inline constexpr char16_t kReporterRelativePath[] = u"utils\\VendraCrashMobile.exe";
// the class of the window that receives the report,
inline constexpr char16_t kReporterWindowClass[] = u"__VendraCrashMobile002";
// and the message that carries it.
inline constexpr uint32_t kReportMessage = 3137;
// How long the reporter has to make its window.
inline constexpr std::chrono::milliseconds kReporterWindowWait{60000};
// How often the sender looks for the reporter's window.
inline constexpr std::chrono::milliseconds kReporterWindowPoll{10};

// The token that names one hand-over: the low 32 bits of the time in
// seconds since 1970 above the process identifier, as 16 upper-case
// hexadecimal digits.
std::u16string HandoverToken(int64_t unixSeconds, uint32_t processId);

// The reporter's command line: its quoted path and the token.
std::u16string ReporterCommandLine(std::u16string_view reporterPath, std::u16string_view token);

// Starts the reporter at reporterPath and hands it report's compact JSON
// text with its terminating zero byte; the memory is released at the end
// whatever happened. 0, -110 (not started, or no window in time) or -111
// (the report could not be placed or was not taken).
VendraClient::eVClientResult HandOverCrashReport(VendraPlatform::ICrashHandover& handover,
                                                 std::u16string_view reporterPath,
                                                 const VendraJSON::VSJObject& report,
                                                 std::u16string& error);

// Test seam: how long HandOverCrashReport looks for the reporter's window
// (kReporterWindowWait unless a test shortened it).
std::chrono::milliseconds ReporterWindowWait();
// Replaces that wait; for tests only.
void SetReporterWindowWaitForTesting(std::chrono::milliseconds wait);

}  // namespace VendraCrash
