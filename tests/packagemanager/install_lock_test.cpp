#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "common/text/utf.h"
#include "packagemanager/install_lock.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

using namespace std::chrono_literals;

// This test process holds the install lock as another install would; the
// real VendraBuild then has to wait for it.
class InstallLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("VENDRA_MACHINE_ROOT", machine_.path().c_str(), 1);
    std::filesystem::create_directories(dataFolder_);
  }
  void TearDown() override { ::unsetenv("VENDRA_MACHINE_ROOT"); }

  int Uninstall(const std::string& wait) {
    const int status = std::system((std::string(VENDRA_BUILD_PROGRAM) + " --wait " + wait +
                                    " uninstall tandory '" + folder_.Sub("product") + "' > '" +
                                    folder_.Sub("out") + "' 2> '" + folder_.Sub("err") + "'")
                                       .c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempFolder machine_;
  TempFolder folder_;
  std::string dataFolder_ = machine_.path() + "/ProgramData/Vendra Software";
};

TEST_F(InstallLockTest, ASecondRunSaysWhomItWaitsForAndGivesUpOrGoesOn) {
  auto held = std::make_unique<VendraBuild::InstallLock>(
      VendraText::Utf8ToUtf16(dataFolder_ + "/VendraBuild.lock"));
  uint32_t error = 0;
  ASSERT_EQ(held->Acquire(0, nullptr, error), VendraBuild::InstallLock::Result::Acquired);
  const std::string waiting =
      "waiting for another install (pid " + std::to_string(::getpid()) + ") to finish";

  // Not waiting long enough: the distinct exit code and what to do.
  EXPECT_EQ(Uninstall("1"), 4);
  EXPECT_NE(ReadTextFile(folder_.Sub("err")).find(waiting), std::string::npos)
      << ReadTextFile(folder_.Sub("err"));
  EXPECT_NE(ReadTextFile(folder_.Sub("err")).find("--wait SECONDS"), std::string::npos);
  EXPECT_EQ(ReadTextFile(folder_.Sub("out")), "");

  // Waiting: it goes on as soon as the other install ends.
  int code = -1;
  std::thread second([&] { code = Uninstall("60"); });
  for (int i = 0; i < 200 && ReadTextFile(folder_.Sub("err")).find(waiting) == std::string::npos;
       ++i)
    std::this_thread::sleep_for(50ms);
  held.reset();
  second.join();
  EXPECT_EQ(code, 0) << ReadTextFile(folder_.Sub("err"));
  EXPECT_NE(ReadTextFile(folder_.Sub("out")).find("Nothing is installed"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dataFolder_ + "/VendraBuild.lock"))
      << "the holder's id goes with the lock";
}

}  // namespace
}  // namespace VendraTest
