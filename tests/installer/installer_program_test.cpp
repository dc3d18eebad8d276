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

// Runs the copied installer with the given machine root, standard input
// from /dev/null, standard error into a file.
Outcome RunInstaller(const std::string& program, const std::string& machineRoot,
                     bool unprivileged) {
  const std::string errFile = program + ".stderr";
  // Made here, so that an unprivileged run can write it too.
  WriteTextFile(errFile, "");
  ::chmod(errFile.c_str(), 0666);
  auto body = [&]() -> int {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("VENDRA_MACHINE_ROOT", machineRoot.c_str(), 1);
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
  const std::string key = root + kUninstallKey;
  EXPECT_TRUE(std::filesystem::exists(key + "/v_displayname"));
  EXPECT_NE(ReadTextFile(key + "/v_installlocation").find(install.path()), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(root + "/ProgramData/Vendra Software"));
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
