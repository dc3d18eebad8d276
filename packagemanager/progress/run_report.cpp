#include "packagemanager/progress/run_report.h"

#include <cstdio>

#include "common/cli/arguments.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"

namespace VendraBuild {

using VendraClient::eVClientResult;

std::string RunFailure::Text() const {
  if (heading.empty() || reason.empty()) return heading + reason;
  return heading + ": " + reason;
}

void RunReport::Say(const std::string& line) {
  std::printf("%s\n", VendraText::ShownOnTerminal(line).c_str());
  std::fflush(stdout);
  log_.Line(line);
}

int RunReport::Fail(eVClientResult code, const std::string& heading, const std::u16string& reason,
                    int exitCode) {
  if (!failure_.Failed())
    failure_ = RunFailure{VendraClient::ToInt(code), heading, VendraText::Utf16ToUtf8(reason)};
  return code == eVClientResult::Cancelled || code == eVClientResult::LoginCancelled
             ? VendraCli::kExitCancelled
             : exitCode;
}

int RunReport::Finish(int exitCode) {
  if (failure_.Failed()) {
    std::fflush(stdout);
    std::fprintf(stderr, "VendraBuild: %s (error code %d)\n",
                 VendraText::ShownOnTerminal(failure_.Text()).c_str(), failure_.code);
    std::fflush(stderr);
    log_.Line("failed (error code " + std::to_string(failure_.code) + "): " + failure_.Text());
  }
  log_.Line("finished with exit code " + std::to_string(exitCode));
  return exitCode;
}

}  // namespace VendraBuild
