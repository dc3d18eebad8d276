#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "installer/folder_size.h"
#include "installer/installer_driver.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/installer/driver_fakes.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraTest;
using VendraPlatform::RegistryKey;
using VendraPlatform::RegistryView;

namespace {

constexpr char16_t kKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandory";

void MakeSparseFile(const std::string& path, long long size) {
  WriteTextFile(path, "");
  ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

class RegisterProduct : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VENDRA_MACHINE_ROOT", machine_.path().c_str(), 1); }
  void TearDown() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  void Register() {
    VendraInstaller::DriverServices services{client_, packageManager_, launcher_, box_,
                                             terminator_};
    VendraInstaller::InstallerDriver(services, install_.wpath()).RegisterProduct();
  }

  std::u16string String(const char16_t* name) {
    RegistryKey key;
    EXPECT_EQ(key.OpenForReading(kKey, RegistryView::Default32), 0u);
    std::u16string value;
    return key.QueryString(name, value) == 0 ? value : u"<missing>";
  }
  uint32_t Dword(const char16_t* name) {
    RegistryKey key;
    EXPECT_EQ(key.OpenForReading(kKey, RegistryView::Default32), 0u);
    uint32_t value = 0xDEADBEEF;
    key.QueryDword(name, value);
    return value;
  }

  TempFolder machine_;
  TempFolder install_;
  FakeClient client_;
  ScriptedPackageManager packageManager_;
  RecordingLauncher launcher_;
  RecordingMessageBox box_;
  RecordingTerminator terminator_;
};

}  // namespace

TEST_F(RegisterProduct, WritesTheEntryWithTheInstallersValues) {
  WriteTextFile(install_.Sub("a.bin"), std::string(1500, 'a'));
  std::filesystem::create_directories(install_.Sub("sub/deeper"));
  WriteTextFile(install_.Sub("sub/deeper/b.bin"), std::string(499, 'b'));
  Register();

  const std::u16string utility = VendraPlatform::PathAppend(
      VendraPlatform::PathAppend(VendraPlatform::CommonAppDataFolder(), u"Vendra Software"),
      u"utils\\VendraBuild.exe");
  const std::u16string folder = install_.wpath();
  EXPECT_EQ(String(u"DisplayName"), u"Tandory");
  EXPECT_EQ(String(u"DisplayIcon"), VendraPlatform::JoinFileName(folder, u"Tandory.exe"));
  EXPECT_EQ(String(u"UninstallString"),
            u"\"" + utility + u"\" uninstall tandory \"" + folder + u"\"");
  EXPECT_EQ(String(u"ModifyPath"), u"\"" + utility + u"\" modify tandory \"" + folder + u"\"");
  EXPECT_EQ(String(u"Publisher"), u"Vendra Software, LLC");
  EXPECT_EQ(String(u"InstallLocation"),
            VendraPlatform::FolderOf(VendraPlatform::ModuleFileName()));
  EXPECT_EQ(Dword(u"EstimatedSize"), 1u) << "1,999 bytes";
  EXPECT_EQ(Dword(u"NoModify"), 0u);
  EXPECT_EQ(Dword(u"NoRepair"), 0u);
  EXPECT_EQ(String(u"Comments"), u"<missing>");
}

TEST_F(RegisterProduct, SecondRunGivesTheSameEntryAndDropsForeignValues) {
  Register();
  {
    RegistryKey key;
    ASSERT_EQ(key.CreateForWriting(kKey, RegistryView::Default32), 0u);
    key.SetString(u"DisplayVersion", u"0.9 from elsewhere");
    key.SetString(u"DisplayName", u"changed");
  }
  Register();
  EXPECT_EQ(String(u"DisplayVersion"), u"<missing>");
  EXPECT_EQ(String(u"DisplayName"), u"Tandory");
}

TEST_F(RegisterProduct, EstimatedSizeUsesTheLow32BitsOfTheByteCount) {
  MakeSparseFile(install_.Sub("exactly-4GiB"), 4294967296LL);
  Register();
  EXPECT_EQ(Dword(u"EstimatedSize"), 0u);
  std::filesystem::create_directory(install_.Sub("data"));
  MakeSparseFile(install_.Sub("data/more"), 1'000'000);
  EXPECT_EQ(VendraInstaller::FolderSize(install_.wpath()), 4295967296ULL);
  Register();
  EXPECT_EQ(Dword(u"EstimatedSize"), 1000u);
}

TEST_F(RegisterProduct, UnwritableRegistryDoesNotStopTheRun) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  const int code = RunUnprivileged([&] {
    FakeClient client;
    client.ensureLoginAnswer.result = VendraClient::eVClientResult::LoginCancelled;
    ScriptedPackageManager packageManager;
    RecordingLauncher launcher;
    RecordingMessageBox box;
    RecordingTerminator terminator;
    VendraInstaller::DriverServices services{client, packageManager, launcher, box, terminator};
    VendraInstaller::InstallerDriver driver(services, install_.wpath());
    if (driver.Run() != 0) return 1;
    // The run went on to sign-in and failed there.
    if (client.calls.empty() || client.calls[0] != "EnsureLogin") return 2;
    return 0;
  });
  EXPECT_EQ(code, 0);
  RegistryKey key;
  EXPECT_NE(key.OpenForReading(kKey, RegistryView::Default32), 0u);
}
