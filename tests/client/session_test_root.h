#pragma once

#include <string>

#include <gtest/gtest.h>

#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {

// Gives each test its own machine root (named objects, data folder), which
// the helper processes it starts inherit, so tests never meet each other's
// locks, blocks or sessions.
class MachineRootTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironment("VENDRA_MACHINE_ROOT", root_.path()); }
  void TearDown() override { SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  TempFolder root_;
};

}  // namespace VendraTest
