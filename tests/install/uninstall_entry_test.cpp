#include "install/uninstall_entry.h"

#include <gtest/gtest.h>

#include "common/text/utf.h"
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

TEST(UninstallEntry, UnopenableKeyGivesAccessDeniedWithTheErrorNumber) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  VendraTest::TempFolder machine;  // owned by root: the store cannot be created below it
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machine.path());
  const int code = VendraTest::RunUnprivileged([] {
    std::u16string error;
    const UninstallEntry e(u"Tandory", u"icon", u"uninstall", u"modify", 7);
    const eVClientResult r = WriteUninstallEntry(e, u"Tandory", error);
    if (error != u"Failed to open registry key for writing (5)") return 2;
    return r == eVClientResult::AccessDenied ? 0 : 1;
  });
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
  EXPECT_EQ(code, 0);
}
