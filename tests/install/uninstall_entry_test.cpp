#include "install/uninstall_entry.h"

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/registry.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraClient;

TEST(UninstallEntry, ConstructionDefaults) {
  const UninstallEntry e(u"Tandory", u"icon", u"uninstall", u"modify", 7);
  EXPECT_EQ(e.publisher, u"Vendra Software, LLC");
  EXPECT_FALSE(e.installLocation.empty());
  EXPECT_FALSE(e.noModify);
  EXPECT_FALSE(e.noRepair);
  EXPECT_TRUE(e.comments.empty());
  EXPECT_TRUE(e.displayVersion.empty());
  EXPECT_TRUE(e.version.empty());
  EXPECT_EQ(e.estimatedSize, 7u);
}

// A caller that may not write the key is told so, whether the key is still
// to be made (the store belongs to root) or root made it already; in the
// second case the key keeps what root wrote.
TEST(UninstallEntry, UnwritableKeyGivesAccessDeniedWithTheErrorNumber) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  for (const bool keyExists : {false, true}) {
    SCOPED_TRACE(keyExists ? "key made by root" : "no key yet");
    VendraTest::TempFolder machine;  // owned by root, as everything made below it
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machine.path());
    std::u16string error;
    if (keyExists) {
      const UninstallEntry mine(u"Tandory", u"icon", u"uninstall", u"modify", 7);
      ASSERT_EQ(WriteUninstallEntry(mine, u"Tandory", error), eVClientResult::Success);
    }
    const int code = VendraTest::RunUnprivileged([] {
      std::u16string childError;
      const UninstallEntry e(u"Planted", u"evil", u"evil", u"evil", 1);
      const eVClientResult r = WriteUninstallEntry(e, u"Tandory", childError);
      if (childError != u"Failed to open registry key for writing (5)") return 2;
      return r == eVClientResult::AccessDenied ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    if (keyExists) {
      VendraPlatform::RegistryKey key;
      ASSERT_EQ(key.OpenForReading(
                    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandory",
                    VendraPlatform::RegistryView::Default32),
                0u);
      std::u16string name;
      EXPECT_EQ(key.QueryString(u"DisplayName", name), 0u);
      EXPECT_EQ(name, u"Tandory");
    }
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
  }
}
