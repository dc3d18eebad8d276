#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "packagemanager/cli/commands.h"
#include "packagemanager/engine/install_record.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/environment.h"
#include "tests/support/program_run.h"
#include "tests/support/sha256_hex.h"
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
  static int Uninstall(const std::u16string& folder) {
    VendraBuild::ActivityLog log;
    VendraBuild::RunReport report(log);
    return VendraBuild::UninstallCommand(u"tandory", folder, report);
  }
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
    key.SetString(u"Publisher", VendraClient::kVendorPublisher);
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
  std::string cache_ = machine_.path() + "/ProgramData/Vendra Software/downloads";
};

// The download cache goes with the last install that needs it: B's
// uninstall keeps the build copy of the version A still holds (its
// downloads are no longer needed) and removes the product's other
// versions; A's removes the product's cache. Another product's stays.
TEST_F(UninstallTest, RemovingBLeavesTheEntryOfAAndTheFoldersItEmptied) {
  const std::u16string a = Installed("A");
  const std::u16string b = Installed("B");
  WriteTextFile(folders_.Sub("B/data/user.cfg"), "the user's own file");
  RegisterIn(a);
  for (const char* file : {"tdy/live/1.0/build.json", "tdy/live/1.0/data/levels/one.map.z",
                           "tdy/live/0.9/build.json", "other/live/1.0/build.json"}) {
    fs::create_directories(fs::path(cache_ + "/" + file).parent_path());
    WriteTextFile(cache_ + "/" + file, "cached");
  }

  EXPECT_EQ(Uninstall(b), 0);
  EXPECT_EQ(Registered(), a) << "the entry names A and stays";
  EXPECT_FALSE(fs::exists(folders_.Sub("B/Tandory.exe")));
  EXPECT_FALSE(fs::exists(folders_.Sub("B/data/levels"))) << "emptied by the uninstall";
  EXPECT_TRUE(fs::exists(folders_.Sub("B/data/user.cfg"))) << "not the product's";
  EXPECT_TRUE(fs::exists(folders_.Sub("A/data/levels/one.map")));
  EXPECT_TRUE(fs::exists(cache_ + "/tdy/live/1.0/build.json")) << "A's version";
  EXPECT_FALSE(fs::exists(cache_ + "/tdy/live/1.0/data"));
  EXPECT_FALSE(fs::exists(cache_ + "/tdy/live/0.9"));

  // Nothing installed any more: a clean no-op, and again.
  EXPECT_EQ(Uninstall(b), 0);
  EXPECT_EQ(Uninstall(VendraText::Utf8ToUtf16(folders_.Sub("C"))),
            0);

  // A's own uninstall (its folder spelt with a trailing separator) removes the entry.
  EXPECT_EQ(Uninstall(a + u"/"), 0);
  EXPECT_EQ(Registered(), u"");
  EXPECT_FALSE(fs::exists(folders_.Sub("A/data")));
  EXPECT_FALSE(fs::exists(cache_ + "/tdy"));
  EXPECT_TRUE(fs::exists(cache_ + "/other/live/1.0/build.json"));
}

// Only a file still holding a content an install put under its name is
// removed: the record's own, either version's while the record is
// incomplete, an empty one; a record from before contents were kept vouches
// for its files. Anything else is the user's by now, kept and said so.
TEST_F(UninstallTest, OnlyFilesStillAsInstalledAreRemoved) {
  const std::string one = Sha256Hex("one");
  const std::string two = Sha256Hex("two");
  struct Row {
    const char* situation;
    std::set<std::string> contents;  // none: a record from before contents were kept
    std::string content;
    bool removed;
  } rows[] = {
      {"as installed", {one}, "one", true},
      {"the earlier version's, while incomplete", {one, two}, "two", true},
      {"empty as installed", {Sha256Hex("")}, "", true},
      {"changed since", {one}, "the user's", false},
      {"changed, from a record without contents", {}, "the user's", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
    const std::string folder = folders_.Sub(row.situation);
    fs::create_directories(folder + "/data");
    WriteTextFile(folder + "/data/app.cfg", row.content);
    WriteTextFile(folder + "/data/app.cfg.new-abc123", "left by a killed run");
    VendraBuild::InstallRecord record{"tdy", "live", "2.0", u"Tandory.exe", {u"data\\app.cfg"}};
    if (!row.contents.empty()) record.contents[u"data\\app.cfg"] = row.contents;
    std::u16string error;
    ASSERT_TRUE(VendraBuild::SaveInstallRecord(VendraText::Utf8ToUtf16(folder), record, error));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Uninstall(VendraText::Utf8ToUtf16(folder)), 0);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(fs::exists(folder + "/data/app.cfg"), !row.removed) << said;
    EXPECT_EQ(said.find(std::string("kept data") + static_cast<char>(VendraPlatform::kPathSeparator) +
                        "app.cfg: changed since it was installed") !=
                  std::string::npos,
              !row.removed)
        << said;
    EXPECT_FALSE(fs::exists(folder + "/data/app.cfg.new-abc123"));
    EXPECT_FALSE(fs::exists(folder + "/VendraBuild.install.json"));
  }
}

// The program an install marks and a repair reads from the record is a
// name inside the folder, however the installer or an older record spelt it.
TEST(ProgramName, IsANameInsideTheFolder) {
  const std::u16string folder = u"/games/Tan dory";
  struct Row {
    std::u16string given;
    std::u16string name;  // empty: refused
  } const rows[] = {
      {u"Tandory.exe", u"Tandory.exe"},
      {u"bin/Tandory.exe", u"bin\\Tandory.exe"},
      {u"/games/Tan dory/bin\\Tandory.exe", u"bin\\Tandory.exe"},
      {u"/games/Tan dory//Tandory.exe", u"Tandory.exe"},
      {u"/games/Tan dory", u""},
      {u"/games/Tan dory2/Tandory.exe", u""},
      {u"/etc/shadow", u""},
      {u"../Tandory.exe", u""},
      {u"bin/../../Tandory.exe", u""},
      {u"C:Tandory.exe", u""},
      {u"", u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(VendraText::Utf16ToUtf8(row.given));
    std::u16string name;
    std::u16string error;
    EXPECT_EQ(VendraBuild::ProgramName(folder, row.given, name, error), !row.name.empty());
    if (!row.name.empty()) {
      EXPECT_EQ(name, row.name);
    }
    EXPECT_EQ(error.empty(), !row.name.empty());
    EXPECT_EQ(VendraBuild::ProgramName(folder + u"/", row.given, name, error), !row.name.empty())
        << "the folder spelt with a separator at its end";
  }
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
