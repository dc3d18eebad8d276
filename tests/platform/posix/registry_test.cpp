// The POSIX registry store between processes and users.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sys_error.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraPlatform;

namespace {

constexpr char16_t kKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandory";

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VENDRA_MACHINE_ROOT", root_.path().c_str(), 1); }
  void TearDown() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", ""); }
  VendraTest::TempFolder root_;
};

}  // namespace

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
