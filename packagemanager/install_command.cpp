#include <cstdio>
#include <map>
#include <string>

#include "common/cli/arguments.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "packagemanager/commands.h"
#include "packagemanager/install_engine.h"
#include "packagemanager/install_progress.h"

namespace VendraBuild {
namespace {

using VendraClient::eVClientResult;

// A line at least every this many bytes of a download, so that a large file
// shows it is moving.
constexpr uint64_t kReportEveryBytes = 4 << 20;

// Failures go to standard error, where scripts and logs look for them. A
// stop the user asked for is no failure of the install and has its own code.
int Fail(const char* heading, eVClientResult code, const std::u16string& error,
         std::u16string* failureText) {
  if (failureText) *failureText = VendraText::Utf8ToUtf16(heading) + u"\n\n" + error;
  std::fflush(stdout);
  std::fprintf(stderr, "%s\nError Code %d\n%s\n", heading, VendraClient::ToInt(code),
               VendraText::ShownOnTerminalUtf8(error).c_str());
  std::fflush(stderr);
  return code == eVClientResult::Cancelled ? VendraCli::kExitCancelled : VendraCli::kExitFailure;
}
// Prints what the install does, a line at a time.
class LinePrinter final : public InstallProgressListener {
 public:
  void OnProgress(const InstallProgress& progress) override {
    if (progress.phase == InstallPhase::Installing) {
      Print("  installed " + progress.file);
    } else if (progress.phase == InstallPhase::Downloading) {
      uint64_t& reported = reported_[progress.file];
      if (progress.fileDone < progress.fileTotal &&
          progress.fileDone - reported >= kReportEveryBytes) {
        reported = progress.fileDone;
        Print("  " + progress.file + ": " + std::to_string(progress.fileDone) + " of " +
              std::to_string(progress.fileTotal) + " bytes");
      }
    } else if (progress.phase == InstallPhase::Checking) {
      Print("Checking the files in place");
    }
  }
  void OnNote(const std::string& text) override { Print("  " + text); }

 private:
  // Names and notes come from the service: shown, never obeyed.
  static void Print(const std::string& line) {
    std::printf("%s\n", VendraText::ShownOnTerminal(line).c_str());
    std::fflush(stdout);
  }
  std::map<std::string, uint64_t> reported_;
};

}  // namespace

int InstallCommand(Clients clients, const std::string& product, const std::string& branch,
                   const std::string& version, const std::u16string& folder,
                   const std::u16string& executable, const InstallOptions& options) {
  LinePrinter printer;
  InstallProgressListener& listener = options.listener ? *options.listener : printer;
  const auto say = [&](const std::string& line) {
    if (options.listener) {
      options.listener->OnNote(line);
    } else {
      std::printf("%s\n", VendraText::ShownOnTerminal(line).c_str());
      std::fflush(stdout);
    }
  };
  say("Installing " + product + " " + branch + " " + version + " into " +
      VendraText::Utf16ToUtf8(folder));
  std::u16string error;
  eVClientResult code = clients.client.EnsureLogin(error);
  if (code != eVClientResult::Success)
    return Fail("Sign-in failed", code, error, options.failureText);
  code = clients.client.EnsureDeviceAuthorized(error);
  if (code != eVClientResult::Success)
    return Fail("Device authorization failed", code, error, options.failureText);

  std::string heading;
  code = RunInstall(clients,
                    InstallTarget{product, branch, version, folder, executable,
                                  options.allowDowngrade},
                    listener, error, heading);
  if (code != eVClientResult::Success)
    return Fail(heading.c_str(), code, error, options.failureText);
  say("Installed " + product + " " + branch + " " + version);
  return 0;
}

}  // namespace VendraBuild
