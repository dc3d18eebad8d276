// The registry layer's values, the same on both systems: under a relocated
// machine root (on POSIX files below it, on Windows a subtree of the user's
// hive for each root).
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sys_error.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;

namespace {

constexpr char16_t kKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandory";

class RelocatedRegistry : public ::testing::Test {
 protected:
  void SetUp() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", root_.path()); }
  void TearDown() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", ""); }
  VendraTest::TempFolder root_;
};

}  // namespace

TEST_F(RelocatedRegistry, ValuesRoundTripWithTheirTypes) {
  RegistryKey key;
  ASSERT_EQ(key.CreateForWriting(kKey, RegistryView::Default32), 0u);
  EXPECT_EQ(key.SetString(u"DisplayName", u"Tandory \u00e9\U0001F600"), 0u);
  EXPECT_EQ(key.SetDword(u"EstimatedSize", 4294967u), 0u);
  EXPECT_EQ(key.SetString(u"Empty", u""), 0u);
  EXPECT_EQ(key.SetString(u"Multi\nLine", u"a\nb"), 0u);

  RegistryKey reader;
  ASSERT_EQ(reader.OpenForReading(kKey, RegistryView::Default32), 0u);
  std::u16string text;
  uint32_t number = 0;
  RegistryValueType type{};
  EXPECT_EQ(reader.QueryString(u"displayname", text), 0u) << "names ignore case";
  EXPECT_EQ(text, u"Tandory \u00e9\U0001F600");
  EXPECT_EQ(reader.QueryString(u"Empty", text), 0u);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(reader.QueryString(u"Multi\nLine", text), 0u);
  EXPECT_EQ(text, u"a\nb");
  EXPECT_EQ(reader.QueryDword(u"EstimatedSize", number), 0u);
  EXPECT_EQ(number, 4294967u);
  EXPECT_EQ(reader.QueryType(u"EstimatedSize", type), 0u);
  EXPECT_EQ(type, RegistryValueType::Dword);
  EXPECT_EQ(reader.QueryType(u"DisplayName", type), 0u);
  EXPECT_EQ(type, RegistryValueType::String);
  EXPECT_EQ(reader.QueryString(u"EstimatedSize", text), SysError::kInvalidParameter);
  EXPECT_EQ(reader.QueryDword(u"DisplayName", number), SysError::kInvalidParameter);
  EXPECT_EQ(reader.QueryString(u"Missing", text), SysError::kFileNotFound);
}

TEST_F(RelocatedRegistry, DeletedValuesDisappearAndViewsAreSeparate) {
  RegistryKey key;
  ASSERT_EQ(key.CreateForWriting(kKey, RegistryView::Default32), 0u);
  ASSERT_EQ(key.SetString(u"DisplayVersion", u"9.9"), 0u);
  EXPECT_EQ(key.DeleteValue(u"DisplayVersion"), 0u);
  EXPECT_EQ(key.DeleteValue(u"DisplayVersion"), SysError::kFileNotFound);
  RegistryKey reader;
  ASSERT_EQ(reader.OpenForReading(kKey, RegistryView::Default32), 0u);
  std::u16string text;
  EXPECT_EQ(reader.QueryString(u"DisplayVersion", text), SysError::kFileNotFound);

  RegistryKey other;
  EXPECT_EQ(other.OpenForReading(kKey, RegistryView::View64), SysError::kFileNotFound);
  EXPECT_EQ(other.OpenForReading(u"Software\\Nothing", RegistryView::Default32),
            SysError::kFileNotFound);
  // Each relocation root has its own keys.
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", root_.Sub("other"));
  EXPECT_EQ(other.OpenForReading(kKey, RegistryView::Default32), SysError::kFileNotFound);
}
