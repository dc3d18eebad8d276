#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "platform/launcher.h"
#include "platform/sys_error.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;
using VendraTest::ReadTextFile;

using VendraTest::WriteTextFile;

namespace {

bool WaitForFile(const std::string& path, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (std::filesystem::exists(path) && !ReadTextFile(path).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST(Launcher, AnswersLikeTheShellForProgramsThatCannotStart) {
  VendraTest::TempFolder tmp;
  ILauncher& launcher = SystemLauncher();
  EXPECT_EQ(launcher.Open(tmp.WSub("VendraBuild.exe"), u"", tmp.wpath()), SysError::kFileNotFound);
  EXPECT_EQ(launcher.Open(tmp.WSub("no-folder/VendraBuild.exe"), u"", tmp.wpath()),
            SysError::kPathNotFound);

  WriteTextFile(tmp.Sub("not-executable"), "#!/bin/sh\nexit 0\n");
  ::chmod(tmp.Sub("not-executable").c_str(), 0644);
  // Even root may execute only files with an execute bit: the denial is real.
  EXPECT_EQ(launcher.Open(tmp.WSub("not-executable"), u"", tmp.wpath()), SysError::kAccessDenied);

  WriteTextFile(tmp.Sub("garbage"), std::string("\x7f" "ELF garbage", 12));
  ::chmod(tmp.Sub("garbage").c_str(), 0755);
  EXPECT_EQ(launcher.Open(tmp.WSub("garbage"), u"", tmp.wpath()), SysError::kBadFormat);

  WriteTextFile(tmp.Sub("ok.sh"), "#!/bin/sh\nexit 0\n");
  ::chmod(tmp.Sub("ok.sh").c_str(), 0755);
  EXPECT_EQ(launcher.Open(tmp.WSub("ok.sh"), u"", tmp.WSub("missing-folder")),
            SysError::kPathNotFound);
}

TEST(Launcher, StartedProgramGetsItsArgumentsAndFolderAndOutlivesTheLauncher) {
  VendraTest::TempFolder tmp;
  std::filesystem::create_directory(tmp.Sub("utils"));
  const std::string marker = tmp.Sub("marker");
  // Waits until the launching process is gone, then records what it got.
  WriteTextFile(tmp.Sub("utils/VendraBuild.exe"),
                "#!/bin/sh\nsleep 0.3\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > '" +
                    marker + ".tmp'\nmv '" + marker + ".tmp' '" + marker + "'\n");
  ::chmod(tmp.Sub("utils/VendraBuild.exe").c_str(), 0755);

  const std::u16string parameters =
      u"install tdy \"live\" \"1.2.3\" \"/opt/Tan dory\" \"/opt/Tan dory/Tandory.exe\"";
  const pid_t launcherProcess = ::fork();
  ASSERT_GE(launcherProcess, 0);
  if (launcherProcess == 0) {
    const uint32_t answer =
        SystemLauncher().Open(tmp.WSub("utils/VendraBuild.exe"), parameters, tmp.WSub("utils"));
    ::_exit(answer > 32 ? 0 : static_cast<int>(answer));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(launcherProcess, &status, 0), launcherProcess);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(marker)) << "the program was still sleeping";

  ASSERT_TRUE(WaitForFile(marker, std::chrono::seconds(10)));
  EXPECT_EQ(ReadTextFile(marker), tmp.Sub("utils") +
                                      "\n[install]\n[tdy]\n[live]\n[1.2.3]\n[/opt/Tan dory]\n"
                                      "[/opt/Tan dory/Tandory.exe]\n");
}
