// Sub-key listing, the same cases on both systems: the POSIX store under a
// relocated machine root, and the Windows registry's relocated subtree.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sys_error.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

using namespace VendraPlatform;

namespace {

constexpr char16_t kUninstall[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::vector<std::u16string> Sorted(std::vector<std::u16string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Only the key's own sub-keys, with their names as first written (case,
// spaces, non-ASCII); a name written again in other case is the same key;
// the views are apart; an empty key lists nothing and an unopened one fails.
TEST(RegistrySubKeys, ListsTheKeysOwnSubKeysByTheirWrittenNames) {
  VendraTest::TempFolder root;
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", root.path());
  const std::u16string base = kUninstall;
  for (const std::u16string name : {u"Tandory", u"Other Product \u00e9\u4e2d", u"x.y-z_1",
                                    u"Tandory\\Nested", u"TANDORY"}) {
    RegistryKey key;
    ASSERT_EQ(key.CreateForWriting(base + u"\\" + name, RegistryView::Default32), 0u);
    EXPECT_EQ(key.SetString(u"DisplayName", name), 0u);
  }
  RegistryKey other;
  ASSERT_EQ(other.CreateForWriting(base + u"\\Only64", RegistryView::View64), 0u);

  RegistryKey uninstall;
  ASSERT_EQ(uninstall.OpenForReading(base, RegistryView::Default32), 0u);
  std::vector<std::u16string> names = {u"stale"};
  ASSERT_EQ(uninstall.SubKeyNames(names), 0u);
  EXPECT_EQ(Sorted(names),
            Sorted({u"Other Product \u00e9\u4e2d", u"Tandory", u"x.y-z_1"}));

  // A listed name opens its key.
  RegistryKey product;
  ASSERT_EQ(product.OpenForReading(base + u"\\Other Product \u00e9\u4e2d", RegistryView::Default32),
            0u);
  std::u16string shown;
  EXPECT_EQ(product.QueryString(u"DisplayName", shown), 0u);
  EXPECT_EQ(shown, u"Other Product \u00e9\u4e2d");

  RegistryKey native;
  ASSERT_EQ(native.OpenForReading(base, RegistryView::View64), 0u);
  ASSERT_EQ(native.SubKeyNames(names), 0u);
  EXPECT_EQ(names, std::vector<std::u16string>{u"Only64"});

  RegistryKey leaf;
  ASSERT_EQ(leaf.OpenForReading(base + u"\\x.y-z_1", RegistryView::Default32), 0u);
  ASSERT_EQ(leaf.SubKeyNames(names), 0u);
  EXPECT_TRUE(names.empty());

  RegistryKey closed;
  EXPECT_EQ(closed.SubKeyNames(names), SysError::kInvalidParameter);
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
}
