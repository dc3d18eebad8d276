// The installer program itself, started as a real process from a folder of
// its own, the way a user starts it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraTest;

namespace {

struct Outcome {
  int exitCode = -1;
  std::string errorOutput;
};

// Runs the copied installer with the given machine root ("" for none),
// standard input from /dev/null, standard error into a file.
Outcome RunInstaller(const std::string& program, const std::string& machineRoot,
                     bool unprivileged) {
  const std::string errFile = program + ".stderr";
  // Made here, so that an unprivileged run can write it too.
  WriteTextFile(errFile, "");
  ::chmod(errFile.c_str(), 0666);
  auto body = [&]() -> int {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (machineRoot.empty()) ::unsetenv("VENDRA_MACHINE_ROOT");
      else ::setenv("VENDRA_MACHINE_ROOT", machineRoot.c_str(), 1);
      ::setenv("VENDRA_SERVICE_URL", "https://127.0.0.1:9/", 1);
      if (!std::freopen("/dev/null", "r", stdin)) ::_exit(120);
      if (!std::freopen(errFile.c_str(), "w", stderr)) ::_exit(120);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  };
  Outcome out;
  out.exitCode = unprivileged ? RunUnprivileged(body) : body();
  out.errorOutput = ReadTextFile(errFile);
  return out;
}

std::string CopyInstallerInto(const TempFolder& folder) {
  const std::string copy = folder.Sub("TandoryInstaller");
  std::filesystem::copy_file(TANDORY_INSTALLER_PATH, copy);
  return copy;
}

}  // namespace

TEST(InstallerProgram, RegistersThenStopsAtSignInWithExitCodeZero) {
  TempFolder machine, install;
  const std::string program = CopyInstallerInto(install);
  // A machine root that does not exist yet: the process-wide objects made
  // before anything else runs must cope with that.
  const std::string root = machine.Sub("new-machine");
  const Outcome out = RunInstaller(program, root, false);
  EXPECT_EQ(out.exitCode, 0);
  // No input: the Login window is cancelled.
  EXPECT_NE(out.errorOutput.find("Tandory Installer failed\nVendra Software Login failed\n\n"
                                 "Error Code -109\nUser clicked Cancel in Login window\n[OK]\n"),
            std::string::npos)
      << out.errorOutput;
  const std::string key = root + std::string(
      "/Registry/HKEY_LOCAL_MACHINE/k_software/k_wow6432node/k_microsoft/k_windows/"
      "k_currentversion/k_uninstall/k_tandory");
  EXPECT_TRUE(std::filesystem::exists(key + "/v_displayname"));
  EXPECT_NE(ReadTextFile(key + "/v_installlocation").find(install.path()), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(root + "/ProgramData/Vendra Software"));
}

TEST(InstallerProgram, WithoutAdministratorRightsSaysSoAndWritesNothing) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to start an unprivileged user";
  TempFolder install;
  const std::string program = CopyInstallerInto(install);
  const Outcome out = RunInstaller(program, "", true);
  EXPECT_EQ(out.exitCode, 0);
  EXPECT_NE(out.errorOutput.find("Administrator rights are needed to install Tandory."),
            std::string::npos)
      << out.errorOutput;
}
