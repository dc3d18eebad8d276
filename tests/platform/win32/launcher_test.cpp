#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/launcher.h"
#include "platform/paths.h"
#include "platform/sys_error.h"
#include "tests/platform/win32/win32_test_support.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;
using VendraTest::ReadTextFile;
using VendraTest::WriteTextFile;
using VendraWin32Test::HelperPath;
using VendraWin32Test::RunHelper;

namespace {

bool WaitForFile(const std::string& path, std::chrono::seconds limit) {
  const std::filesystem::path native(VendraText::Utf8ToUtf16(path));
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (std::filesystem::exists(native) && !ReadTextFile(path).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string Backslashed(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

}  // namespace

TEST(Launcher, AnswersLikeTheShellForProgramsThatCannotStart) {
  VendraTest::TempFolder tmp;
  ILauncher& launcher = SystemLauncher();
  EXPECT_EQ(launcher.Open(tmp.WSub("VendraBuild.exe"), u"", tmp.wpath()), SysError::kFileNotFound);
  // The shell answers "path not found" or, as Wine does, "file not found"
  // for a program in a missing folder.
  const uint32_t noFolder = launcher.Open(tmp.WSub("no-folder/VendraBuild.exe"), u"", tmp.wpath());
  EXPECT_TRUE(noFolder == SysError::kPathNotFound || noFolder == SysError::kFileNotFound) << noFolder;
  WriteTextFile(tmp.Sub("VendraBuild.exe"), "not a program");
  EXPECT_EQ(launcher.Open(tmp.WSub("VendraBuild.exe"), u"", tmp.wpath()), SysError::kBadFormat);
  // A document of a type no program is registered for: SE_ERR_NOASSOC.
  WriteTextFile(tmp.Sub("notes.vendraunknown"), "text");
  EXPECT_EQ(launcher.Open(tmp.WSub("notes.vendraunknown"), u"", tmp.wpath()), 31u);
  EXPECT_EQ(launcher.Open(HelperPath(), u"record x", tmp.WSub("missing-folder")), SysError::kPathNotFound);
}

TEST(Launcher, StartedProgramGetsItsArgumentsAndFolderAndOutlivesTheLauncher) {
  VendraTest::TempFolder tmp;
  ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::path(tmp.WSub("utils"))));
  const std::string marker = Backslashed(tmp.Sub("marker"));
  // The launcher runs in a process of its own that exits right after the
  // start; the started program waits 300 ms before it records what it got.
  const std::u16string parameters =
      u"record \"" + VendraText::Utf8ToUtf16(marker) +
      u"\" install tdy \"live\" \"1.2.3\" \"C:\\Tan dory\" \"C:\\Tan dory\\Tandory.exe\"";
  const int launched = RunHelper({u"launch", HelperPath(), tmp.WSub("utils"), parameters});
  EXPECT_EQ(launched, 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(VendraText::Utf8ToUtf16(marker))))
      << "the program was still waiting when the launcher had ended";

  ASSERT_TRUE(WaitForFile(marker, std::chrono::seconds(20)));
  EXPECT_EQ(ReadTextFile(marker), Backslashed(tmp.Sub("utils")) + "\n[" + marker +
                                      "]\n[install]\n[tdy]\n[live]\n[1.2.3]\n[C:\\Tan dory]\n"
                                      "[C:\\Tan dory\\Tandory.exe]\n");
}
