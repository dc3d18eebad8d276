// The crash reporter: started by a crashing program with a hand-over token,
// it takes the crash report through its window and posts it to the service.
#include <cstdio>
#include <string>
#include <vector>

#include "client/session_lock.h"
#include "client/v_client.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "crashreporter/crash_reporter.h"
#include "platform/entry_point.h"
#include "platform/program_arguments.h"

namespace {

// The process-wide objects, in the order every program of the vendor makes
// them (this one needs no build client).
VendraClient::VClient g_client;
[[maybe_unused]] VendraClient::NamedMutexLock& g_sessionLock = VendraClient::SessionLock();

void Say(const std::u16string& text) {
  std::printf("%s\n", VendraText::ShownOnTerminalUtf8(text).c_str());
  std::fflush(stdout);
}

}  // namespace

int VendraMain(void* moduleInstance) {
  g_client.SetModuleInstance(moduleInstance);
  const std::vector<std::u16string> args = VendraPlatform::ProgramArguments();
  if (args.size() != 1 || !VendraCrashReporter::IsHandoverToken(args[0])) {
    std::printf("usage: VendraCrashMobile TOKEN\n"
                "  TOKEN: the 16 hexadecimal digits the crashing program chose\n");
    return 2;
  }
  Vendra::RefPtr<VendraJSON::VSJObject> report;
  std::u16string message;
  if (!VendraCrashReporter::ReceiveReport(args[0], report, message)) {
    Say(message);
    return 1;
  }
  const VendraClient::eVClientResult result =
      VendraCrashReporter::PostReport(g_client, *report, args[0], message);
  Say(message);
  return result == VendraClient::eVClientResult::Success ? 0 : 1;
}
