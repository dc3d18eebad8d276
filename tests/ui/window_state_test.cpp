// The process-wide outcome records of the two windows. Nothing else in this
// test program touches them.
#include <gtest/gtest.h>

#include "ui/window_state.h"

using namespace VendraUi;
using VendraClient::eVClientResult;

TEST(WindowState, EachWindowHasOneRecordForTheRunStartingAt2) {
  WindowState& login = LoginWindowState();
  WindowState& device = DeviceAuthorizationWindowState();
  EXPECT_NE(&login, &device);
  EXPECT_EQ(login.result, eVClientResult::Running);
  EXPECT_EQ(device.result, eVClientResult::Running);
  EXPECT_TRUE(login.error.empty());
  login.result = eVClientResult::LoginCancelled;
  EXPECT_EQ(&LoginWindowState(), &login);
  EXPECT_EQ(LoginWindowState().result, eVClientResult::LoginCancelled);
  EXPECT_EQ(DeviceAuthorizationWindowState().result, eVClientResult::Running);
}
