#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/text/utf.h"
#include "install/uninstall_entry.h"
#include "packagemanager/commands.h"
#include "packagemanager/install_record.h"
#include "platform/registry.h"
#include "tests/support/environment.h"
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

  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", b), 0);
  EXPECT_EQ(Registered(), a) << "the entry names A and stays";
  EXPECT_FALSE(fs::exists(folders_.Sub("B/Tandory.exe")));
  EXPECT_FALSE(fs::exists(folders_.Sub("B/data/levels"))) << "emptied by the uninstall";
  EXPECT_TRUE(fs::exists(folders_.Sub("B/data/user.cfg"))) << "not the product's";
  EXPECT_TRUE(fs::exists(folders_.Sub("A/data/levels/one.map")));
  EXPECT_TRUE(fs::exists(cache_ + "/tdy/live/1.0/build.json")) << "A's version";
  EXPECT_FALSE(fs::exists(cache_ + "/tdy/live/1.0/data"));
  EXPECT_FALSE(fs::exists(cache_ + "/tdy/live/0.9"));

  // Nothing installed any more: a clean no-op, and again.
  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", b), 0);
  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", VendraText::Utf8ToUtf16(folders_.Sub("C"))),
            0);

  // A's own uninstall (its folder spelt with a trailing separator) removes the entry.
  EXPECT_EQ(VendraBuild::UninstallCommand(u"tandory", a + u"/"), 0);
  EXPECT_EQ(Registered(), u"");
  EXPECT_FALSE(fs::exists(folders_.Sub("A/data")));
  EXPECT_FALSE(fs::exists(cache_ + "/tdy"));
  EXPECT_TRUE(fs::exists(cache_ + "/other/live/1.0/build.json"));
}

}  // namespace
}  // namespace VendraTest
