// The crash reporter: started by a crashing program with a hand-over token,
// it takes the crash report through its window and posts it to the service.
#include <cstdio>
#include <string>
#include <vector>

#include "client/session_lock.h"
#include "client/v_client.h"
#include "common/cli/arguments.h"
#include "common/text/terminal_text.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "crashreporter/crash_reporter.h"
#include "platform/entry_point.h"
#include "platform/program_arguments.h"
#include "ui/sign_in_windows.h"

namespace {

// The process-wide objects, in the order every program of the vendor makes
// them (this one needs no build client); before them the windows the client
// shows.
VendraUi::SystemSignInWindows g_windows;
VendraClient::VClient g_client;
[[maybe_unused]] VendraClient::NamedMutexLock& g_sessionLock = VendraClient::SessionLock();

constexpr char kProgram[] = "VendraCrashMobile";

constexpr char kHelp[] =
    "usage: VendraCrashMobile TOKEN\n"
    "\n"
    "Takes over the crash report of a program that crashed and posts it to the\n"
    "service. TOKEN is the 16 upper-case hexadecimal digits the crashing program\n"
    "chose; the program starts this one itself after the user agreed.\n"
    "A report that cannot be posted is kept as crashreports/TOKEN.json in the\n"
    "data folder.\n"
    "\n"
    "Exit codes: 0 the report was sent, 1 no report arrived or it could not be\n"
    "sent (kept as above), 2 wrong command line.\n";

void Say(const std::u16string& text) {
  std::printf("%s\n", VendraText::ShownOnTerminalUtf8(text).c_str());
  std::fflush(stdout);
}

}  // namespace

int VendraMain(void* moduleInstance) {
  g_client.SetModuleInstance(moduleInstance);
  g_client.SetWindows(&g_windows);
  VendraCli::Arguments args;
  std::string reason;
  if (!VendraCli::Parse(VendraCli::Utf8Arguments(VendraPlatform::ProgramArguments()), {}, args,
                        reason))
    return VendraCli::UsageError(kProgram, reason);
  if (args.help) return VendraCli::PrintHelp(kHelp);
  if (args.version) return VendraCli::PrintVersion(kProgram);
  if (args.positional.size() != 1)
    return VendraCli::UsageError(kProgram, "one TOKEN is needed");
  const std::u16string token = VendraText::Utf8ToUtf16(args.positional[0]);
  if (!VendraCrashReporter::IsHandoverToken(token))
    return VendraCli::UsageError(kProgram,
                                 "TOKEN is 16 upper-case hexadecimal digits, not \"" +
                                     VendraText::ShownOnTerminal(args.positional[0]) + "\"");
  Say(VendraText::Format(u"Waiting up to %u seconds for the crash report (token %ls)...",
                         VendraCrashReporter::kReportWaitMs / 1000, token));
  Vendra::RefPtr<VendraJSON::VSJObject> report;
  std::u16string message;
  if (!VendraCrashReporter::ReceiveReport(token, report, message)) {
    Say(message);
    return 1;
  }
  const VendraClient::eVClientResult result =
      VendraCrashReporter::PostReport(g_client, *report, token, message);
  Say(message);
  return result == VendraClient::eVClientResult::Success ? 0 : 1;
}
