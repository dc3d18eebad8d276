// A program of the vendor that has crashed, as far as the client can tell:
// it reports a made-up access violation through the client's ReportCrashW,
// which shows the Crash Report window and, once the person agrees, hands the
// report to the real crash reporter in the data folder. Prints the result
// code and text; the exit code is 0 when the hand-over succeeded.
#include <cstdio>
#include <string>

#include "client/v_client.h"
#include "common/text/utf.h"
#include "crash/crash_report_submission.h"
#include "platform/entry_point.h"
#include "platform/process.h"

int VendraMain(void* module) {
  VendraCrash::SystemCrashReports reports;
  VendraClient::VClient client;
  client.SetModuleInstance(module);
  client.SetCrashReports(&reports);
  std::u16string error;
  const auto result = client.ReportCrashW(
      "tdy", "1.2.3", 7, VendraPlatform::ModuleFileName(), 1700000000, u"tandory_core.dll",
      0x7ff612340000, 0xC0000005, "Access violation reading 0x0000000000000010 (Wine crash test)",
      error);
  std::printf("%d %s\n", static_cast<int>(result), VendraText::Utf16ToUtf8(error).c_str());
  return result == VendraClient::eVClientResult::Success ? 0 : 1;
}
