#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/elevation.h"
#include "platform/registry.h"
#include "platform/sys_error.h"
#include "tests/platform/win32/win32_test_support.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;
using VendraWin32Test::RunHelper;
using VendraWin32Test::SetEnvironment;

namespace {

constexpr char16_t kKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandory";

// Keys relocated below the current user's hive, one subtree per test root.
class RegistryBetweenProcesses : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironment(u"VENDRA_MACHINE_ROOT", root_.wpath()); }
  void TearDown() override { SetEnvironment(u"VENDRA_MACHINE_ROOT", u""); }
  VendraTest::TempFolder root_;
};

}  // namespace

TEST_F(RegistryBetweenProcesses, AnotherProcessSeesEveryWrite) {
  ASSERT_EQ(RunHelper({u"set-string", kKey, u"Publisher", u"Vendra Software, LLC"}), 0);
  RegistryKey reader;
  ASSERT_EQ(reader.OpenForReading(kKey, RegistryView::Default32), 0u);
  std::u16string text;
  EXPECT_EQ(reader.QueryString(u"Publisher", text), 0u);
  EXPECT_EQ(text, u"Vendra Software, LLC");

  RegistryKey writer;
  ASSERT_EQ(writer.CreateForWriting(kKey, RegistryView::Default32), 0u);
  ASSERT_EQ(writer.SetString(u"Publisher", u"changed \"here\""), 0u);
  EXPECT_EQ(RunHelper({u"query-string", kKey, u"Publisher", u"changed \"here\""}), 0);
  EXPECT_EQ(RunHelper({u"query-string", kKey, u"Publisher", u"something else"}), 1);
}

// The machine's own hive: the 32-bit view is "Software\WOW6432Node" as seen
// from the 64-bit view. Writing there takes administrator rights; without
// them the answer must be "access denied", as the installer reports it.
TEST(MachineRegistry, DefaultViewIsThe32BitViewAndNeedsAdministratorRights) {
  SetEnvironment(u"VENDRA_MACHINE_ROOT", u"");
  constexpr char16_t kTestKey[] = u"Software\\VendraTest\\RegistryViews";
  RegistryKey key;
  const uint32_t opened = key.CreateForWriting(kTestKey, RegistryView::Default32);
  if (!HasMachineWriteRights()) {
    EXPECT_EQ(opened, SysError::kAccessDenied);
    return;
  }
  ASSERT_EQ(opened, 0u);
  ASSERT_EQ(key.SetDword(u"Marker", 32), 0u);
  key.Close();

  RegistryKey native;
  ASSERT_EQ(native.OpenForReading(u"Software\\WOW6432Node\\VendraTest\\RegistryViews", RegistryView::View64), 0u);
  uint32_t number = 0;
  EXPECT_EQ(native.QueryDword(u"Marker", number), 0u);
  EXPECT_EQ(number, 32u);
  RegistryKey only64;
  EXPECT_EQ(only64.OpenForReading(kTestKey, RegistryView::View64), SysError::kFileNotFound);

  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VendraTest\\RegistryViews", KEY_WOW64_32KEY, 0);
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VendraTest", KEY_WOW64_32KEY, 0);
}

// The device identity is made from this value.
TEST(MachineRegistry, MachineGuidIsAStringInThe64BitView) {
  SetEnvironment(u"VENDRA_MACHINE_ROOT", u"");
  RegistryKey key;
  ASSERT_EQ(key.OpenForReading(u"SOFTWARE\\Microsoft\\Cryptography", RegistryView::View64), 0u);
  RegistryValueType type{};
  ASSERT_EQ(key.QueryType(u"MachineGuid", type), 0u);
  EXPECT_EQ(type, RegistryValueType::String);
  std::u16string guid;
  ASSERT_EQ(key.QueryString(u"MachineGuid", guid), 0u);
  EXPECT_EQ(guid.size(), 36u);
}
