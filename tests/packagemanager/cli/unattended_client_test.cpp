// An unattended run never opens a sign-in window: on Windows a window
// would wait for a person nobody expects, so this test would hang there.
#include <gtest/gtest.h>

#include "packagemanager/cli/package_manager_client.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

TEST(UnattendedClientTest, ForbiddenWindowsFailAtOnceWithTheReason) {
  VendraBuild::PackageManagerClient client;
  client.ForbidWindows();
  std::u16string error;
  EXPECT_EQ(client.ShowLoginWindow(error), eVClientResult::AccessTokenRequired);
  EXPECT_NE(error.find(u"no window may open"), std::u16string::npos);
  error.clear();
  EXPECT_EQ(client.ShowDeviceAuthorizationWindow(error), eVClientResult::DeviceAuthRequired);
  EXPECT_NE(error.find(u"no stored session"), std::u16string::npos);
}

// On a machine without a stored session the client's own sign-in asks for
// the window, and is refused at once.
TEST(UnattendedClientTest, SignInWithoutAStoredSessionFailsWithoutAWindow) {
  TempFolder machine;
  SetEnvironment("VENDRA_MACHINE_ROOT", machine.path());
  {
    VendraBuild::PackageManagerClient client;
    client.ForbidWindows();
    std::u16string error;
    EXPECT_EQ(client.EnsureLogin(error), eVClientResult::AccessTokenRequired);
    EXPECT_NE(error.find(u"no window may open"), std::u16string::npos);
  }
  SetEnvironment("VENDRA_MACHINE_ROOT", "");
}

}  // namespace
}  // namespace VendraTest
