// The receiving side of the hand-over as its own program: opens the window
// titled with the token it is given, takes one message and writes the bytes
// it copied to the file named second.
#include <cstdio>
#include <string>
#include <vector>

#include "common/text/utf.h"
#include "crash/reporter_handover.h"
#include "platform/crash_handover.h"
#include "platform/entry_point.h"
#include "platform/program_arguments.h"
#include "platform/thread.h"

int VendraMain(void*) {
  const std::vector<std::u16string> args = VendraPlatform::ProgramArguments();
  if (args.size() != 2) return 2;
  const auto receiver = VendraPlatform::NewCrashReceiver();
  if (receiver->Open(VendraCrash::kReporterWindowClass, args[0]) != 0) return 3;
  std::string bytes;
  if (receiver->Receive(VendraCrash::kReportMessage, 20000, bytes) != 0) return 4;
  std::FILE* out = std::fopen(VendraText::Utf16ToUtf8(args[1]).c_str(), "wb");
  if (!out) return 5;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  // A reporter lives on after taking the report (it posts it), and the
  // sender frees the memory it placed here only after the message returns:
  // ending at once would make that release race the process's exit.
  VendraPlatform::SleepMilliseconds(3000);
  return 0;
}
