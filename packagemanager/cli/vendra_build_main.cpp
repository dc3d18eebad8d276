// The package manager: installs, repairs and removes the vendor's products on
// the command lines the installer and the uninstall entry give it, and tells
// an administrator what is installed.
#include <cstdio>
#include <string>
#include <vector>

#include "client/session_lock.h"
#include "common/cli/arguments.h"
#include "common/text/utf.h"
#include "install/v_build_client.h"
#include "client/data_folder.h"
#include "packagemanager/progress/activity_log.h"
#include "packagemanager/cli/clean_command.h"
#include "packagemanager/cli/commands.h"
#include "packagemanager/engine/install_lock.h"
#include "packagemanager/engine/install_record.h"
#include "packagemanager/cli/package_manager_client.h"
#include "packagemanager/progress/progress_renderer.h"
#include "packagemanager/cli/sign_in_step.h"
#include "packagemanager/cli/status_command.h"
#include "packagemanager/engine/vendor_entries.h"
#include "packagemanager/progress/window_progress.h"
#include "platform/console.h"
#include "platform/entry_point.h"
#include "platform/files.h"
#include "platform/interruption.h"
#include "platform/message_box.h"
#include "platform/outside_folder.h"
#include "platform/program_arguments.h"
#include "ui/progress_window.h"
#include "ui/sign_in_windows.h"

namespace {

// The process-wide objects, in the order every program of the vendor makes
// them: the service client, the build client, the session lock; before them
// the windows the client shows.
VendraUi::SystemSignInWindows g_windows;
VendraBuild::PackageManagerClient g_client;
VendraClient::VBuildClient g_buildClient;
[[maybe_unused]] VendraClient::NamedMutexLock& g_sessionLock = VendraClient::SessionLock();

constexpr char kProgram[] = "VendraBuild";

constexpr char kHelp[] =
    "usage: VendraBuild [OPTIONS] install [--allow-downgrade] PRODUCT BRANCH VERSION FOLDER\n"
    "                                     EXECUTABLE\n"
    "       VendraBuild [OPTIONS] modify KEY FOLDER\n"
    "       VendraBuild [OPTIONS] uninstall KEY FOLDER\n"
    "       VendraBuild [--json] status FOLDER...\n"
    "       VendraBuild [--json] list\n"
    "       VendraBuild [OPTIONS] clean\n"
    "\n"
    "install    downloads the build PRODUCT BRANCH VERSION, checks it and installs it\n"
    "           into FOLDER; EXECUTABLE (relative to FOLDER) is marked as a program.\n"
    "           A version lower than the one installed, or than the live one the\n"
    "           publisher's signed build list names, needs --allow-downgrade.\n"
    "modify     repairs the install in FOLDER: what is missing or changed is put back.\n"
    "uninstall  removes what the install put into FOLDER and, when the uninstall\n"
    "           entry KEY names FOLDER, the entry. Nothing installed: nothing to do.\n"
    "status     tells what is installed in each FOLDER and whether it is complete;\n"
    "           an incomplete one with the command line that repairs it.\n"
    "list       the same for every folder the vendor's products are registered in\n"
    "           on this machine, with the uninstall entry's KEY.\n"
    "clean      removes from the download cache what no installed product needs\n"
    "           (other versions, uninstalled products, unfinished downloads nobody\n"
    "           continues) and says how much it freed.\n"
    "\n"
    "options:\n"
    "  --quiet            only the steps and the summary, no per-file lines\n"
    "  --json             one JSON object per line and event on standard output\n"
    "                     (where there is a desktop, install and modify otherwise show\n"
    "                     a progress window unless standard output goes to a file or\n"
    "                     a pipe; its Cancel stops between files, exit code 3)\n"
    "  --non-interactive  never ask: fail at once when there is no stored session\n"
    "  --log FILE         append the run's log to FILE instead of the data folder's\n"
    "                     logs/VendraBuild.log (steps, notes, files placed and removed,\n"
    "                     request paths and the failure with their times; never a\n"
    "                     password or a token; past 1 MiB it becomes FILE.1)\n"
    "  --wait SECONDS     how long to wait for another install, repair or uninstall\n"
    "                     to finish (default 60; 0: fail at once, naming its holder)\n"
    "  -h, --help         this text\n"
    "  --version          the program's version\n"
    "\n"
    "Unattended use: sign in once (the installer does), then run with\n"
    "--non-interactive; the stored session is used and renewed without a prompt.\n"
    "\n"
    "Exit codes: 0 success, 1 failure (the reason on standard error), 2 wrong\n"
    "command line, 3 cancelled by the user, 4 another install is running.\n"
    "status: 0 every FOLDER holds a complete install, else the first that applies:\n"
    "1 a FOLDER could not be looked at, 5 an install is incomplete (modify repairs\n"
    "it), 6 a FOLDER holds nothing.\n";

constexpr long long kDefaultWaitSeconds = 60;
constexpr long long kLongestWaitSeconds = 7 * 24 * 3600;

// Takes the install lock for install, modify, uninstall and clean; says whom it
// waits for. 0 when taken, else the exit code (with the reason printed).
int TakeInstallLock(VendraBuild::InstallLock& lock, long long waitSeconds) {
  uint32_t error = 0;
  const auto waiting = [](uint32_t pid) {
    if (pid != 0)
      std::fprintf(stderr, "%s: waiting for another install (pid %u) to finish...\n", kProgram,
                   pid);
    else
      std::fprintf(stderr, "%s: waiting for another install to finish...\n", kProgram);
    std::fflush(stderr);
  };
  switch (lock.Acquire(static_cast<uint32_t>(waitSeconds), waiting, error)) {
    case VendraBuild::InstallLock::Result::Acquired:
      return 0;
    case VendraBuild::InstallLock::Result::TimedOut:
      std::fprintf(stderr,
                   "%s: another install is still running. %s Run this again when it has "
                   "finished, or give --wait SECONDS to wait longer.\n",
                   kProgram, VendraText::Utf16ToUtf8(lock.HeldText()).c_str());
      return VendraCli::kExitBusy;
    case VendraBuild::InstallLock::Result::Failed:
      break;
  }
  // Not another install: the lock itself is unusable, and waiting never helps.
  std::fprintf(stderr, "%s: cannot take the install lock. %s\n", kProgram,
               VendraText::Utf16ToUtf8(lock.UnopenedText(error)).c_str());
  return VendraCli::kExitFailure;
}

// The log of a run that changes the machine: FILE when given, else the one in
// the data folder's own sub-folder. 0 when open, else the exit code. A
// default log that cannot be used only costs a warning.
int OpenLog(VendraBuild::ActivityLog& log, const VendraCli::Arguments& args) {
  std::u16string problem;
  if (args.Has("log")) {
    if (log.Open(VendraText::Utf8ToUtf16(args.Get("log")), problem)) return 0;
    std::fprintf(stderr, "%s: %s\n", kProgram, VendraText::Utf16ToUtf8(problem).c_str());
    return VendraCli::kExitFailure;
  }
  std::u16string dataFolder;
  std::u16string path;
  g_client.GetDataPath(u"", dataFolder);
  if (VendraClient::TrustedDataPath(dataFolder, u"logs\\VendraBuild.log", path, problem) ==
          VendraClient::eVClientResult::Success &&
      log.Open(path, problem))
    return 0;
  std::fprintf(stderr, "%s: no log is kept: %s\n", kProgram,
               VendraText::Utf16ToUtf8(problem).c_str());
  return 0;
}

struct Shape {
  const char* command;
  size_t words;   // the command word included; 0: one or more folders follow
  size_t folder;  // the word that names the FOLDER; 0: none, or all that follow
};

// The folders of the command line, each turned once into the path every
// later step uses. 0, or the exit code with the reason printed.
int TakeFolders(const Shape& shape, std::vector<std::u16string>& words) {
  const size_t first = shape.folder ? shape.folder : shape.words ? words.size() : 1;
  const size_t end = shape.folder ? shape.folder + 1 : words.size();
  for (size_t i = first; i < end; ++i) {
    std::u16string problem;
    if (!VendraPlatform::FolderFromOutside(std::u16string(words[i]), words[i], problem)) {
      std::fprintf(stderr, "%s: %s\n", kProgram, VendraText::Utf16ToUtf8(problem).c_str());
      return VendraCli::kExitFailure;
    }
  }
  return 0;
}

// Install or repair, as the command line asks.
int RunInstallOrModify(const VendraCli::Arguments& args, const std::vector<std::u16string>& words,
                       VendraBuild::InstallProgressListener& listener,
                       VendraBuild::RunReport& report, const VendraBuild::InstallOptions& options) {
  const VendraBuild::Clients clients{g_client, g_buildClient};
  if (args.positional[0] == "install")
    return VendraBuild::InstallCommand(clients, args.positional[1], args.positional[2],
                                       args.positional[3], words[4], words[5], listener, report,
                                       options);
  return VendraBuild::ModifyCommand(clients, words[1], words[2], listener, report, options);
}

// The window's caption: what is installed or repaired, by the name the
// system's list of programs shows for the folder (the product's or the
// entry's key where no entry names it), with the version an install brings.
std::u16string WindowCaption(const VendraCli::Arguments& args,
                             const std::vector<std::u16string>& words) {
  const bool install = args.positional[0] == "install";
  VendraBuild::VendorEntry entry;
  const std::u16string name =
      VendraBuild::FindVendorEntry(words[install ? 4 : 2], entry) && !entry.name.empty()
          ? entry.name
          : words[1];
  if (install) return u"Installing " + name + u" " + words[3] + u" - Vendra Software";
  return u"Repairing " + name + u" - Vendra Software";
}

// Where a person watches (started from a window, or at a console without
// --json or --quiet) the work runs under the progress window. -1 when no
// window could be shown: the console's renderer takes over.
int InWindow(const VendraCli::Arguments& args, const std::vector<std::u16string>& words,
             const VendraBuild::InstallOptions& options, VendraBuild::RunReport& report) {
  int code = 0;
  uint32_t windowError = 0;
  const bool shown = VendraUi::RunInProgressWindow(
      WindowCaption(args, words),
      [&](VendraUi::IProgressFeed& feed) {
        VendraPlatform::ReleaseOwnConsole();
        VendraBuild::WindowProgress window(feed);
        VendraBuild::LoggingListener logged(window, report.Log());
        return RunInstallOrModify(args, words, logged, report, options);
      },
      g_client.GetModuleInstance(), code, windowError);
  if (!shown) return -1;
  // Nobody may read standard error: the reason is shown as well.
  if (code == VendraCli::kExitFailure && report.Failure().Failed())
    VendraPlatform::SystemMessageBox().Show(
        u"VendraBuild", VendraText::Utf8ToUtf16(report.Failure().heading + "\n\n" +
                                                report.Failure().reason));
  return code;
}

constexpr Shape kShapes[] = {{"install", 6, 4},
                             {"modify", 3, 2},
                             {"uninstall", 3, 2},
                             {"status", 0, 0},
                             {"list", 1, 0},
                             {"clean", 1, 0}};

}  // namespace

int VendraMain(void* moduleInstance) {
  g_client.SetModuleInstance(moduleInstance);
  g_client.SetWindows(&g_windows);
  VendraCli::Arguments args;
  std::string reason;
  if (!VendraCli::Parse(VendraCli::Utf8Arguments(VendraPlatform::ProgramArguments()),
                        {{"quiet", false},
                         {"json", false},
                         {"non-interactive", false},
                         {"allow-downgrade", false},
                         {"wait", true},
                         {"log", true}},
                        args,
                        reason))
    return VendraCli::UsageError(kProgram, reason);
  if (args.help) return VendraCli::PrintHelp(kHelp);
  if (args.version) return VendraCli::PrintVersion(kProgram);
  if (args.positional.empty()) return VendraCli::UsageError(kProgram, "no command given");
  const std::string& command = args.positional[0];
  const Shape* shape = nullptr;
  for (const Shape& s : kShapes)
    if (command == s.command) shape = &s;
  if (!shape) return VendraCli::UsageError(kProgram, "unknown command \"" + command + "\"");
  if (shape->words ? args.positional.size() != shape->words : args.positional.size() < 2)
    return VendraCli::UsageError(kProgram, command + " takes other words; see the usage");
  if (args.Switch("allow-downgrade") && command != "install")
    return VendraCli::UsageError(kProgram, "--allow-downgrade goes with install only");
  long long waitSeconds = kDefaultWaitSeconds;
  if (args.Has("wait") && (!VendraCli::ParseCount(args.Get("wait"), waitSeconds) ||
                           waitSeconds > kLongestWaitSeconds))
    return VendraCli::UsageError(kProgram, "--wait takes a number of seconds up to 604800");
  if (args.Switch("non-interactive")) {
    VendraPlatform::DisconnectStandardInput();
    g_client.ForbidWindows();
  }

  std::vector<std::u16string> words;
  for (const std::string& w : args.positional) words.push_back(VendraText::Utf8ToUtf16(w));
  if (const int code = TakeFolders(*shape, words)) return code;
  std::u16string program;
  std::u16string problem;
  if (command == "install") {
    if (!VendraBuild::ProgramName(words[4], words[5], program, problem))
      return VendraCli::UsageError(kProgram, VendraText::Utf16ToUtf8(problem));
    // Its name inside FOLDER, however FOLDER is spelt below.
    words[5] = program;
  }
  // The folder a command changes, as the log and its lines name it.
  if (const size_t folder = command == "install" ? 4 : 2;
      command == "install" || command == "modify" || command == "uninstall")
    words[folder] = VendraPlatform::AbsolutePath(words[folder]);
  const VendraBuild::Clients clients{g_client, g_buildClient};
  if (command == "list") return VendraBuild::ListCommand(clients, args.Switch("json"));
  if (command == "status")
    return VendraBuild::StatusCommand(clients, {words.begin() + 1, words.end()},
                                      args.Switch("json"));

  std::u16string holderFile;
  g_client.GetDataPath(u"VendraBuild.lock", holderFile);
  VendraBuild::InstallLock lock(holderFile);
  if (const int code = TakeInstallLock(lock, waitSeconds)) return code;
  VendraBuild::ActivityLog log;
  if (const int code = OpenLog(log, args)) return code;
  std::string commandLine = kProgram;
  for (const std::u16string& w : words) commandLine += " " + VendraText::Utf16ToUtf8(w);
  log.Line("started: " + commandLine);
  log.ObserveRequests();
  VendraBuild::RunReport report(log);
  const auto finished = [&](int code) { return report.Finish(code); };
  if (command == "uninstall")
    return finished(VendraBuild::UninstallCommand(words[1], words[2], report));
  if (command == "clean") return finished(VendraBuild::CleanCommand(args.Switch("json"), report));
  VendraBuild::ProgressRenderer renderer(
      VendraBuild::ChooseProgressStyle(args.Switch("json"), args.Switch("quiet"),
                                       VendraPlatform::StandardOutputIsTerminal()),
      stdout, VendraPlatform::TerminalColumns());
  log.Line("signing in");
  if (const int code = VendraBuild::SignInFirst(clients, args.Switch("non-interactive"), report)) {
    // Scripts read the reason from the summary as for any other failure.
    if (args.Switch("json")) renderer.Finish(false, report.Failure());
    return finished(code);
  }
  VendraBuild::InstallOptions options;
  options.allowDowngrade = args.Switch("allow-downgrade");
  if (!args.Switch("json") && !args.Switch("quiet") && !VendraPlatform::StandardOutputIsCaptured())
    if (const int code = InWindow(args, words, options, report); code >= 0) return finished(code);
  const VendraPlatform::InterruptionWatch interruption;
  renderer.WatchForStop([&interruption] { return interruption.Requested(); });
  VendraBuild::LoggingListener logged(renderer, log);
  const int code = RunInstallOrModify(args, words, logged, report, options);
  renderer.Finish(code == 0, report.Failure());
  return finished(code);
}
