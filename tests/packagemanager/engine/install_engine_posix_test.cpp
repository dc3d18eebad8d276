// The install engine through the real program, in the ways only POSIX
// offers a test: signals, a small file system mounted for the run, and a
// user without root.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/packagemanager/engine/install_engine_fixture.h"
#include "tests/support/published_build.h"
#include "tests/support/unprivileged.h"

namespace VendraTest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Small file systems mounted for a test (mode 0755, as the download
// cache's trust rule wants), or bound to a second place on the same one;
// gone again, the last first, with the test.
class Mounts {
 public:
  ~Mounts() {
    for (auto it = points_.rbegin(); it != points_.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
  }
  bool Small(const std::string& path, const std::string& size) {
    fs::create_directories(path);
    return Mounted(path, ::mount("tmpfs", path.c_str(), "tmpfs", 0,
                                 ("size=" + size + ",mode=0755").c_str()));
  }
  bool Bind(const std::string& from, const std::string& to) {
    fs::create_directories(from);
    fs::create_directories(to);
    return Mounted(to, ::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr));
  }
  std::string failure;

 private:
  bool Mounted(const std::string& path, int rc) {
    if (rc != 0) failure = std::strerror(errno);
    else points_.push_back(path);
    return rc == 0;
  }
  std::vector<std::string> points_;
};

// An update that does not fit on a disk it writes to is refused before
// anything changes, naming the folder whose disk is short: the install
// folder's, the download cache's on a disk of its own, or the one disk both
// share, where each alone would fit. The earlier version stays whole and
// recorded, and nothing of the update is downloaded. One that runs out of
// space anyway (the disk filled while it ran) stops with the same clear
// text, every file whole and the record incomplete.
TEST_F(InstallEngineTest, AFullDiskSaysSoAndLeavesEveryFileWhole) {
  Files small = {{"Tandory.exe", "#!/bin/sh\necho one\n"}, {"data\\a.txt", std::string(1000, 'a')}};
  Files large = small;
  large["Tandory.exe"] = "#!/bin/sh\necho two\n";
  large["data\\huge.bin"] = Noise(1200 * 1024, 9);
  Publish("1.0", small);
  Publish("2.0", large);
  enum class Short { Folder, Cache, Shared };
  for (const Short row : {Short::Folder, Short::Cache, Short::Shared}) {
    SCOPED_TRACE(static_cast<int>(row));
    folder_ = folders_.Sub("Tandory" + std::to_string(static_cast<int>(row)));
    Mounts mounts;
    const std::string shared = folders_.Sub("shared");
    const bool mounted =
        row == Short::Folder  ? mounts.Small(folder_, "1m")
        : row == Short::Cache ? mounts.Small(cache_, "1m")
                              : mounts.Small(shared, "2m") &&
                                    mounts.Bind(shared + "/cache", cache_) &&
                                    mounts.Bind(shared + "/folder", folder_);
    if (!mounted) GTEST_SKIP() << "mounting a small tmpfs needs root: " << mounts.failure;
    ASSERT_EQ(Run("1.0"), 0) << Log();
    EXPECT_EQ(Run("2.0"), 1);
    const std::string named = row == Short::Cache ? cache_ + "/tdy/live/2.0" : folder_;
    EXPECT_NE(Log().find("Not enough space on the disk for " + named + ":"), std::string::npos)
        << Log();
    EXPECT_TRUE(Holds(small)) << "nothing changed";
    EXPECT_EQ(Record().value("version", ""), "1.0");
    EXPECT_EQ(Record().value("state", ""), "complete");
    EXPECT_EQ(CacheFiles("tdy/live/2.0").size(), 1u) << "the build copy only";
  }

  folder_ = folders_.Sub("Tandory");
  Mounts mounts;
  ASSERT_TRUE(mounts.Small(folder_, "2m")) << mounts.failure;
  ASSERT_EQ(Run("1.0"), 0) << Log();
  // The space is taken while the update runs: the check before it passed.
  Files fits = small;
  fits["Tandory.exe"] = "#!/bin/sh\necho three\n";
  fits["data\\b.bin"] = Noise(700 * 1024, 10);
  fits["data\\c.bin"] = Noise(700 * 1024, 11);
  Publish("3.0", fits);
  // c.bin arrives well after b.bin is in place.
  ASSERT_TRUE(service_->Script("vclient/download",
                               R"([{"filename":"data\\c.bin","chunk_size":65536,"chunk_delay_ms":100}])"));
  SlowDownloads(static_cast<int>(fits.size()) - 1);
  const auto run = Start("3.0");
  // Once the first large file is in place, while the second downloads.
  for (int i = 0; i < 2000 && !fs::exists(folder_ + "/data/b.bin"); ++i)
    std::this_thread::sleep_for(5ms);
  WriteServiceFile(folder_, "filler", std::string(800 * 1024, 'f'));
  EXPECT_EQ(run->Wait(), 1);
  ASSERT_TRUE(service_->ClearScript());
  fs::remove(folder_ + "/filler");
  EXPECT_NE(Log().find("Not enough space on the disk to write"), std::string::npos) << Log();
  EXPECT_EQ(Mixed(small, fits), "");
  EXPECT_EQ(Record().value("state", ""), "incomplete");
  EXPECT_EQ(Unplaced(), "") << "no expanded leftovers";
  EXPECT_TRUE(fs::is_empty(temp_.path()));
}

// Ctrl-C or SIGTERM during an update, once it has begun to change the
// folder: the run says it stops after the file at hand and ends with the
// cancelled exit code, every file whole and the record incomplete; a rerun
// finishes the job.
TEST_F(InstallEngineTest, AnInterruptStopsBetweenFilesWithTheCancelledCode) {
  const Files one = VersionOne();
  const Files two = VersionTwo();
  const Files edited = EditedTwo();
  Publish("1.0", one);
  Publish("2.0", two);
  PublishChunked("2.1", edited);
  // The update of whole files, and of a chunked build whose large files
  // are put together from old and fetched chunks.
  for (const auto& [signal, to] : {std::pair{SIGINT, "2.0"}, std::pair{SIGTERM, "2.0"},
                                   std::pair{SIGTERM, "2.1"}}) {
    SCOPED_TRACE(std::to_string(signal) + " " + to);
    const Files& later = std::string(to) == "2.0" ? two : edited;
    ASSERT_EQ(Run("1.0"), 0) << Log();
    SlowDownloads(static_cast<int>(later.size()));
    const std::string activity = machine_.path() + "/ProgramData/Vendra Software/logs/VendraBuild.log";
    fs::remove(activity);
    const auto run = Start(to);
    for (int i = 0; i < 4000 && Record().value("version", "") != to; ++i)
      std::this_thread::sleep_for(5ms);
    ::kill(run->id(), signal);
    EXPECT_EQ(run->Wait(), 3) << Log();
    ASSERT_TRUE(service_->ClearScript());
    EXPECT_NE(Log().find("Stopping after the file at hand"), std::string::npos) << Log();
    // The cancel is the run's one reason, logged once; the transfers it ended
    // are no failures of their own.
    const std::string logged = ReadTextFile(activity);
    const size_t cancel = logged.find("failed (error code -5): Cancelled");
    EXPECT_NE(cancel, std::string::npos) << logged;
    EXPECT_EQ(logged.find("failed", cancel + 1), std::string::npos) << logged;
    EXPECT_EQ(logged.find("curl error"), std::string::npos) << logged;
    EXPECT_EQ(Mixed(one, later), "");
    EXPECT_EQ(Record().value("state", ""), "incomplete");
    ASSERT_EQ(Run(to), 0) << Log();
    EXPECT_TRUE(Holds(later));
  }
}

// Without root, with the machine root moved to a folder of the user's own.
TEST_F(InstallEngineTest, AUserWithoutRootInstallsUnderARelocatedMachineRoot) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "the tests do not run as root";
  const Files one = VersionOne();
  Publish("1.0", one);
  fs::create_directories(folder_);
  for (const std::string& path : {machine_.path(), folders_.path(), temp_.path()}) {
    ASSERT_EQ(::chown(path.c_str(), UnprivilegedUid(), UnprivilegedUid()), 0);
    for (const auto& item : fs::recursive_directory_iterator(path))
      ASSERT_EQ(::lchown(item.path().c_str(), UnprivilegedUid(), UnprivilegedUid()), 0);
  }
  EXPECT_EQ(RunUnprivileged([&] { return Run("1.0"); }), 0) << Log();
  EXPECT_TRUE(Holds(one));
  EXPECT_TRUE(fs::is_empty(temp_.path()));
}

}  // namespace
}  // namespace VendraTest
