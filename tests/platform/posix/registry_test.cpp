#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sys_error.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraPlatform;

namespace {

constexpr char16_t kKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandory";

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VENDRA_MACHINE_ROOT", root_.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("VENDRA_MACHINE_ROOT"); }
  VendraTest::TempFolder root_;
};

}  // namespace

TEST_F(RegistryStore, ValuesRoundTripWithTheirTypes) {
  RegistryKey key;
  ASSERT_EQ(key.CreateForWriting(kKey, RegistryView::Default32), 0u);
  EXPECT_EQ(key.SetString(u"DisplayName", u"Tandory \u00e9"), 0u);
  EXPECT_EQ(key.SetDword(u"EstimatedSize", 4294967u), 0u);
  EXPECT_EQ(key.SetString(u"Multi\nLine", u"a\nb"), 0u);

  RegistryKey reader;
  ASSERT_EQ(reader.OpenForReading(kKey, RegistryView::Default32), 0u);
  std::u16string text;
  uint32_t number = 0;
  RegistryValueType type{};
  EXPECT_EQ(reader.QueryString(u"displayname", text), 0u) << "names ignore case";
  EXPECT_EQ(text, u"Tandory \u00e9");
  EXPECT_EQ(reader.QueryDword(u"EstimatedSize", number), 0u);
  EXPECT_EQ(number, 4294967u);
  EXPECT_EQ(reader.QueryString(u"Multi\nLine", text), 0u);
  EXPECT_EQ(text, u"a\nb");
  EXPECT_EQ(reader.QueryType(u"EstimatedSize", type), 0u);
  EXPECT_EQ(type, RegistryValueType::Dword);
  EXPECT_EQ(reader.QueryString(u"EstimatedSize", text), SysError::kInvalidParameter);
  EXPECT_EQ(reader.QueryString(u"Missing", text), SysError::kFileNotFound);
}

TEST_F(RegistryStore, DeletedValuesDisappearAndViewsAreSeparate) {
  RegistryKey key;
  ASSERT_EQ(key.CreateForWriting(kKey, RegistryView::Default32), 0u);
  key.SetString(u"DisplayVersion", u"9.9");
  EXPECT_EQ(key.DeleteValue(u"DisplayVersion"), 0u);
  std::u16string text;
  EXPECT_EQ(key.QueryString(u"DisplayVersion", text), SysError::kFileNotFound);

  RegistryKey other;
  EXPECT_EQ(other.OpenForReading(kKey, RegistryView::View64), SysError::kFileNotFound);
  EXPECT_EQ(other.OpenForReading(u"Software\\Nothing", RegistryView::Default32),
            SysError::kFileNotFound);
}

TEST_F(RegistryStore, AnotherProcessSeesEveryWrite) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RegistryKey key;
    if (key.CreateForWriting(kKey, RegistryView::Default32) != 0) ::_exit(1);
    ::_exit(key.SetString(u"Publisher", u"Vendra Software, LLC") == 0 ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  RegistryKey key;
  ASSERT_EQ(key.OpenForReading(kKey, RegistryView::Default32), 0u);
  std::u16string text;
  EXPECT_EQ(key.QueryString(u"Publisher", text), 0u);
  EXPECT_EQ(text, u"Vendra Software, LLC");
}

TEST_F(RegistryStore, UnwritableStoreIsAccessDenied) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  const int code = VendraTest::RunUnprivileged([] {
    RegistryKey key;
    return static_cast<int>(key.CreateForWriting(kKey, RegistryView::Default32));
  });
  EXPECT_EQ(code, static_cast<int>(SysError::kAccessDenied));
}
