// The installer program itself, started as a real process from a folder of
// its own, the way a user starts it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/service_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraTest;

namespace {

struct Outcome {
  int exitCode = -1;
  std::string output;
  std::string errorOutput;
};

// Runs the copied installer with the given machine root and arguments,
// standard input from /dev/null, standard output and error into files.
Outcome RunInstaller(const std::string& program, const std::string& machineRoot,
                     bool unprivileged, const std::vector<std::string>& args = {}) {
  const std::string outFile = program + ".stdout";
  const std::string errFile = program + ".stderr";
  // Made here, so that an unprivileged run can write them too.
  for (const std::string& file : {outFile, errFile}) {
    WriteTextFile(file, "");
    ::chmod(file.c_str(), 0666);
  }
  auto body = [&]() -> int {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("VENDRA_MACHINE_ROOT", machineRoot.c_str(), 1);
      ::setenv("VENDRA_SERVICE_URL", "https://127.0.0.1:9/", 1);
      if (!std::freopen("/dev/null", "r", stdin)) ::_exit(120);
      if (!std::freopen(outFile.c_str(), "w", stdout)) ::_exit(120);
      if (!std::freopen(errFile.c_str(), "w", stderr)) ::_exit(120);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  };
  Outcome out;
  out.exitCode = unprivileged ? RunUnprivileged(body) : body();
  out.output = ReadTextFile(outFile);
  out.errorOutput = ReadTextFile(errFile);
  return out;
}

std::string CopyInstallerInto(const std::string& folder) {
  const std::string copy = folder + "/TandoryInstaller";
  std::filesystem::copy_file(TANDORY_INSTALLER_PATH, copy);
  return copy;
}

std::string CopyInstallerInto(const TempFolder& folder) { return CopyInstallerInto(folder.path()); }

const std::string kUninstallKey =
    "/Registry/HKEY_LOCAL_MACHINE/k_software/k_wow6432node/k_microsoft/k_windows/"
    "k_currentversion/k_uninstall/k_tandory";

}  // namespace

// Every path of a run ends with exit code 0; a first run that stops at the
// sign-in takes back the entry it wrote (its commands would start a package
// manager that is not there), while an entry that was listed before, or one
// for a folder that holds an install, stays.
TEST(InstallerProgram, AFailedFirstRunTakesItsEntryBackAndAnEarlierEntryStays) {
  TempFolder machine, install;
  const std::string program = CopyInstallerInto(install);
  // A machine root that holds nothing but its identifier: the process-wide
  // objects must cope with that.
  const std::string root = machine.Sub("new-machine");
  WriteServiceFile(root, "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
  const std::string key = root + kUninstallKey;
  const auto listed = [&] { return std::filesystem::exists(key + "/v_displayname"); };

  const Outcome first = RunInstaller(program, root, false);
  EXPECT_EQ(first.exitCode, 0);
  // No input: the Login window is cancelled.
  EXPECT_NE(first.errorOutput.find("Tandory Installer failed\nVendra Software Login failed\n\n"
                                   "Error Code -109\nUser clicked Cancel in Login window\n[OK]\n"),
            std::string::npos)
      << first.errorOutput;
  EXPECT_FALSE(listed());
  EXPECT_FALSE(std::filesystem::exists(key + "/v_uninstallstring"));
  EXPECT_TRUE(std::filesystem::is_directory(root + "/ProgramData/Vendra Software"));

  // The folder holds an install (its entry was lost): the entry is made and
  // stays.
  WriteTextFile(install.Sub("VendraBuild.install.json"), "{}");
  EXPECT_EQ(RunInstaller(program, root, false).exitCode, 0);
  ASSERT_TRUE(listed());
  EXPECT_NE(ReadTextFile(key + "/v_installlocation").find(install.path()), std::string::npos);

  // Without the install, the entry listed before this run stays as well.
  std::filesystem::remove(install.Sub("VendraBuild.install.json"));
  const Outcome repair = RunInstaller(program, root, false);
  EXPECT_NE(repair.errorOutput.find("Error Code -109"), std::string::npos) << repair.errorOutput;
  EXPECT_TRUE(listed());
}

// Asked for its help, or on a machine without an identifier, the installer
// says so and ends with 0 before it makes anything: no entry, no lock, no
// data folder, no sign-in.
TEST(InstallerProgram, HelpAndAMissingMachineIdentifierLeaveNoTrace) {
  struct Case {
    std::vector<std::string> args;
    bool identified;
    std::string output;       // expected on standard output
    std::string errorOutput;  // expected on standard error
  } cases[] = {
      {{"--help"}, true, "usage: TandoryInstaller", ""},
      {{"/S", "/?"}, false, "VENDRA_CA_FILE", ""},
      {{"--quiet"}, false, "", "/etc/machine-id, which is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    TempFolder machine, install;
    const std::string root = machine.Sub("machine");
    if (c.identified)
      WriteServiceFile(root, "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    const Outcome out = RunInstaller(CopyInstallerInto(install), root, false, c.args);
    EXPECT_EQ(out.exitCode, 0);
    if (!c.output.empty()) {
      EXPECT_NE(out.output.find(c.output), std::string::npos) << out.output;
      // What it does, what it reads, how it ends.
      for (const char* part : {"VENDRA_SERVICE_URL", "VENDRA_MACHINE_ROOT", "Exit: always 0"})
        EXPECT_NE(out.output.find(part), std::string::npos) << out.output;
      EXPECT_EQ(out.errorOutput, "");
    }
    if (!c.errorOutput.empty()) {
      EXPECT_NE(out.errorOutput.find(root + c.errorOutput), std::string::npos) << out.errorOutput;
      EXPECT_NE(out.errorOutput.find("systemd-machine-id-setup"), std::string::npos);
      EXPECT_EQ(out.errorOutput.find("Login"), std::string::npos) << out.errorOutput;
    }
    // Nothing in the machine root but what the test put there.
    const std::vector<std::string> put{root + "/etc", root + "/etc/machine-id"};
    std::vector<std::string> found;
    if (std::filesystem::exists(root))
      for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.identified ? put : std::vector<std::string>{});
    size_t besideTheProgram = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(install.path()))
      ++besideTheProgram;
    EXPECT_EQ(besideTheProgram, 3u)
        << "the program and its two output files";
  }
}

// Any user may start the installer (here on relocated machine places, where
// it goes as far as the sign-in); the lock files that start made are that
// user's, and they do not keep the administrator's run after it from
// signing in.
TEST(InstallerProgram, AnotherUsersStartBlocksNoLaterRun) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to start an unprivileged user";
  TempFolder machine, install;
  const std::string program = CopyInstallerInto(install);
  // As the machine's own object folder: every user may add files.
  const std::string root = machine.Sub("machine");
  std::filesystem::create_directories(root + "/Objects");
  ::chmod((root + "/Objects").c_str(), 01777);
  WriteServiceFile(root, "etc/machine-id", "0123456789abcdef0123456789abcdef\n");

  const Outcome user = RunInstaller(program, root, true);
  EXPECT_EQ(user.exitCode, 0);
  EXPECT_NE(user.errorOutput.find("Error Code -109\nUser clicked Cancel in Login window"),
            std::string::npos)
      << user.errorOutput;
  struct stat lock;
  ASSERT_EQ(::stat((root + "/Objects/vendra.Global%5CVendra Software-Sync.mutex").c_str(), &lock),
            0);
  EXPECT_EQ(lock.st_uid, UnprivilegedUid());

  const Outcome admin = RunInstaller(program, root, false);
  EXPECT_NE(admin.errorOutput.find("Error Code -109\nUser clicked Cancel in Login window"),
            std::string::npos)
      << admin.errorOutput;
}

// A backslash is a legal character of a Linux folder name, but the paths of
// the vendor's programs read it as a separator: the installer in such a
// folder would install and register somewhere else. It stops first, saying
// why, with nothing registered.
TEST(InstallerProgram, AFolderWithABackslashIsRefusedBeforeAnythingIsWritten) {
  for (const std::string name : {"inst\\..\\..\\elsewhere", "a \"b\" c\\", "p\\\" q"}) {
    SCOPED_TRACE(name);
    TempFolder machine, install;
    const std::string folder = install.Sub(name);
    std::filesystem::create_directories(folder);
    const std::string root = machine.Sub("machine");
    const Outcome out = RunInstaller(CopyInstallerInto(folder), root, false);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_NE(out.errorOutput.find("has a backslash in its name"), std::string::npos)
        << out.errorOutput;
    EXPECT_NE(out.errorOutput.find(folder), std::string::npos) << out.errorOutput;
    EXPECT_EQ(out.errorOutput.find("Login"), std::string::npos) << out.errorOutput;
    EXPECT_FALSE(std::filesystem::exists(root + kUninstallKey));
  }
}
