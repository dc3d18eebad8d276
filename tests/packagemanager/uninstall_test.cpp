#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/text/utf.h"
#include "packagemanager/commands.h"
#include "packagemanager/install_record.h"
#include "platform/registry.h"
#include "tests/support/environment.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kEntry[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tandory";

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path()); }
  void TearDown() override { SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  // An install of the product in folder: two files, one of them nested.
  std::u16string Installed(const std::string& name) {
    const std::string folder = folders_.Sub(name);
    fs::create_directories(folder + "/data/levels");
    WriteTextFile(folder + "/Tandory.exe", "program");
    WriteTextFile(folder + "/data/levels/one.map", "map");
    const std::u16string wide = VendraText::Utf8ToUtf16(folder);
    VendraBuild::InstallRecord record{"tdy", "live", "1.0", u"Tandory.exe",
                                      {u"Tandory.exe", u"data\\levels\\one.map"}};
    std::u16string error;
    EXPECT_TRUE(VendraBuild::SaveInstallRecord(wide, record, error));
    return wide;
  }

  void RegisterIn(const std::u16string& folder) {
    VendraPlatform::RegistryKey key;
    ASSERT_EQ(key.CreateForWriting(kEntry, VendraPlatform::RegistryView::Default32), 0u);
    key.SetString(u"InstallLocation", folder);
    key.SetString(u"DisplayName", u"Tandory");
  }

  std::u16string Registered() {
    VendraPlatform::RegistryKey key;
    std::u16string location;
    if (key.OpenForReading(kEntry, VendraPlatform::RegistryView::Default32) == 0)
      key.QueryString(u"InstallLocation", location);
    return location;
  }

  TempFolder machine_;
  TempFolder folders_;
};

TEST_F(UninstallTest, RemovingBLeavesTheEntryOfAAndTheFoldersItEmptied) {
  const std::u16string a = Installed("A");
  const std::u16string b = Installed("B");
  WriteTextFile(folders_.Sub("B/data/user.cfg"), "the user's own file");
  RegisterIn(a);

  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", b), 0);
  EXPECT_EQ(Registered(), a) << "the entry names A and stays";
  EXPECT_FALSE(fs::exists(folders_.Sub("B/Tandory.exe")));
  EXPECT_FALSE(fs::exists(folders_.Sub("B/data/levels"))) << "emptied by the uninstall";
  EXPECT_TRUE(fs::exists(folders_.Sub("B/data/user.cfg"))) << "not the product's";
  EXPECT_TRUE(fs::exists(folders_.Sub("A/data/levels/one.map")));

  // Nothing installed any more: a clean no-op, and again.
  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", b), 0);
  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", VendraText::Utf8ToUtf16(folders_.Sub("C"))),
            0);

  // A's own uninstall (its folder spelt with a trailing separator) removes the entry.
  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", a + u"/"), 0);
  EXPECT_EQ(Registered(), u"");
  EXPECT_FALSE(fs::exists(folders_.Sub("A/data")));
}

#ifndef _WIN32
// "a/inst\..\..\X" is a folder of its own on Linux; read with the
// backslashes as separators it would be X, installed and registered. The
// package manager refuses it, naming it, and X keeps its install and entry.
TEST_F(UninstallTest, AFolderWithABackslashNeverReachesAnotherFolder) {
  const std::u16string x = Installed("X");
  RegisterIn(x);
  const std::string named = folders_.Sub("a/inst\\..\\..\\X");
  fs::create_directories(folders_.Sub("a/inst"));
  fs::create_directories(named);
  const std::string err = folders_.Sub("err");
  EXPECT_EQ(RunProgram({VENDRA_BUILD_PROGRAM, "uninstall", "tandory", named},
                       {folders_.Sub("out"), err}),
            1);
  EXPECT_NE(ReadTextFile(err).find("The folder \"" + named + "\" has a backslash in its name"),
            std::string::npos)
      << ReadTextFile(err);
  EXPECT_TRUE(fs::exists(folders_.Sub("X/data/levels/one.map")));
  EXPECT_EQ(Registered(), x);
}
#endif

}  // namespace
}  // namespace VendraTest
