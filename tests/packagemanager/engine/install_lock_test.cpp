#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/text/utf.h"
#include "packagemanager/engine/install_lock.h"
#include "platform/process.h"
#include "tests/support/environment.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

using namespace std::chrono_literals;

// This test process holds the install lock as another install would; the
// real VendraBuild then has to wait for it.
class InstallLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    std::filesystem::create_directories(dataFolder_);
  }
  void TearDown() override { SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  // What an earlier run printed goes first, so that waiting for a word sees
  // only the next run's.
  void ForgetOutput() {
    std::filesystem::remove(folder_.Sub("out"));
    std::filesystem::remove(folder_.Sub("err"));
  }
  int Uninstall(const std::string& wait) {
    return RunProgram({VENDRA_BUILD_PROGRAM, "--wait", wait, "uninstall", "tandory",
                       folder_.Sub("product")},
                      {folder_.Sub("out"), folder_.Sub("err")});
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
      "waiting for another install (pid " + std::to_string(VendraPlatform::CurrentProcessId()) + ") to finish";

  // Not waiting long enough: the distinct exit code, the lock and its
  // holder, and what to do; also when the holder's file in the shared data
  // folder is not what the holder wrote (a planted sparse file of 64 GB).
  const std::string holderFile = dataFolder_ + "/VendraBuild.lock";
#ifdef _WIN32
  // Wine makes no sparse file of that size.
  constexpr bool kPlanted[] = {false};
#else
  constexpr bool kPlanted[] = {false, true};
#endif
  for (const bool planted : kPlanted) {
    SCOPED_TRACE(planted ? "planted holder file" : "the holder's own file");
    if (planted) {
      std::filesystem::remove(holderFile);
      WriteTextFile(holderFile, "");
      std::filesystem::resize_file(holderFile, 64ULL << 30);
    }
    ForgetOutput();
    EXPECT_EQ(Uninstall("1"), 4);
    const std::string said = ReadTextFile(folder_.Sub("err"));
#ifdef _WIN32
    // The system does not tell a mutex's holder: only the holder's file does.
    const std::string lock = "The lock VendraBuild.install is held by ";
#else
    const std::string lock = "/vendra.VendraBuild.install.mutex is held by ";
#endif
    const std::string pid = std::to_string(VendraPlatform::CurrentProcessId());
    EXPECT_NE(said.find(waiting), std::string::npos) << said;
    EXPECT_NE(said.find(lock + "process " + pid), std::string::npos) << said;
    EXPECT_NE(said.find("--wait SECONDS"), std::string::npos);
    EXPECT_EQ(ReadTextFile(folder_.Sub("out")), "");
  }
  // --wait 0 gives up at once, naming the holder, and never says it waits.
  ForgetOutput();
  EXPECT_EQ(RunProgram({VENDRA_BUILD_PROGRAM, "--wait", "0", "clean"},
                       {folder_.Sub("out"), folder_.Sub("err")}),
            4)
      << "clean takes the lock too";
  const std::string atOnce = ReadTextFile(folder_.Sub("err"));
  EXPECT_EQ(atOnce.find("waiting"), std::string::npos) << atOnce;
  EXPECT_NE(atOnce.find("is held by process " + std::to_string(VendraPlatform::CurrentProcessId())),
            std::string::npos)
      << atOnce;

  // Waiting: it goes on as soon as the other install ends.
  int code = -1;
  ForgetOutput();
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
