// Machine-wide named mutexes and shared memory of the POSIX layer, with real
// processes: owners that die, last users that leave, blocks planted by
// another user.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "platform/named_mutex.h"
#include "platform/posix/named_objects.h"
#include "platform/shared_memory.h"
#include "platform/sys_error.h"
#include "tests/support/environment.h"
#include "tests/support/forked_child.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

using VendraPlatform::NamedMutex;
using VendraPlatform::SharedMemory;
namespace SysError = VendraPlatform::SysError;

constexpr uint32_t kBlockSize = 4096;

// Each test gets its own machine root, so its objects meet nobody else's.
class NamedObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VENDRA_MACHINE_ROOT", root_.path().c_str(), 1); }
  void TearDown() override { VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", ""); }

  VendraTest::TempFolder root_;
};

using Child = VendraTest::ForkedChild;

TEST_F(NamedObjectsTest, MutexIsExclusiveBetweenOpenObjects) {
  NamedMutex first;
  NamedMutex second;
  ASSERT_EQ(first.Create(u"Global\\Test-Exclusive"), SysError::kSuccess);
  ASSERT_EQ(second.Create(u"Global\\Test-Exclusive"), SysError::kSuccess);
  EXPECT_EQ(first.Wait(0), NamedMutex::WaitResult::Acquired);
  EXPECT_EQ(second.Wait(0), NamedMutex::WaitResult::TimedOut);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(second.Wait(150), NamedMutex::WaitResult::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  first.Release();
  EXPECT_EQ(second.Wait(0), NamedMutex::WaitResult::Acquired);
  second.Release();
}

TEST_F(NamedObjectsTest, NamesWithSeparatorsStayApart) {
  NamedMutex slash;
  NamedMutex backslash;
  ASSERT_EQ(slash.Create(u"Global\\A/B"), SysError::kSuccess);
  ASSERT_EQ(backslash.Create(u"Global\\A\\B"), SysError::kSuccess);
  EXPECT_EQ(slash.Wait(0), NamedMutex::WaitResult::Acquired);
  EXPECT_EQ(backslash.Wait(0), NamedMutex::WaitResult::Acquired);
  slash.Release();
  backslash.Release();
}

TEST_F(NamedObjectsTest, DeadOwnerLeavesMutexAbandoned) {
  Child owner([] {
    static NamedMutex mutex;
    return mutex.Create(u"Global\\Test-Dead") == SysError::kSuccess &&
           mutex.Wait(0) == NamedMutex::WaitResult::Acquired;
  });
  ASSERT_TRUE(owner.Ready());
  NamedMutex mutex;
  ASSERT_EQ(mutex.Create(u"Global\\Test-Dead"), SysError::kSuccess);
  EXPECT_EQ(mutex.Wait(50), NamedMutex::WaitResult::TimedOut);
  owner.Kill();
  EXPECT_EQ(mutex.Wait(2000), NamedMutex::WaitResult::Abandoned);
  mutex.Release();
  // Given back properly, it is no longer abandoned.
  EXPECT_EQ(mutex.Wait(0), NamedMutex::WaitResult::Acquired);
  mutex.Release();
}

TEST_F(NamedObjectsTest, AnotherThreadMayReleaseTheMutex) {
  NamedMutex mutex;
  ASSERT_EQ(mutex.Create(u"Global\\Test-Threads"), SysError::kSuccess);
  ASSERT_EQ(mutex.Wait(0), NamedMutex::WaitResult::Acquired);
  std::thread([&mutex] { mutex.Release(); }).join();
  Child other([] {
    NamedMutex theirs;
    return theirs.Create(u"Global\\Test-Threads") == SysError::kSuccess &&
           theirs.Wait(0) == NamedMutex::WaitResult::Acquired;
  });
  EXPECT_TRUE(other.Ready());
}

// Whoever made the mutex file first (root, or another user's first run of
// any program of ours), every user may take the mutex; it still excludes
// across users.
TEST_F(NamedObjectsTest, EveryUserMayTakeTheMutexWhoeverMadeIt) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a child as another user";
  // As the machine's own object folder: every user may add files.
  ASSERT_EQ(::mkdir(root_.Sub("Objects").c_str(), 01777), 0);
  ASSERT_EQ(::chmod(root_.Sub("Objects").c_str(), 01777), 0);
  const auto takeAndGive = [](const char16_t* name) {
    NamedMutex mutex;
    if (mutex.Create(name) != SysError::kSuccess) return false;
    if (mutex.Wait(0) != NamedMutex::WaitResult::Acquired) return false;
    mutex.Release();
    return true;
  };
  for (const bool rootFirst : {true, false}) {
    SCOPED_TRACE(rootFirst ? "made by root" : "made by another user");
    const char16_t* name = rootFirst ? u"Global\\Test-RootFirst" : u"Global\\Test-UserFirst";
    const mode_t old = ::umask(077);
    const int made = rootFirst ? (takeAndGive(name) ? 0 : 1)
                               : VendraTest::RunUnprivileged([&] { return takeAndGive(name) ? 0 : 1; });
    ::umask(old);
    ASSERT_EQ(made, 0);
    struct stat st;
    const std::string path = VendraPlatform::Posix::NamedObjectPath(name, "mutex");
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, rootFirst ? 0u : VendraTest::UnprivilegedUid());
    EXPECT_EQ(VendraTest::RunUnprivileged([&] { return takeAndGive(name) ? 0 : 1; }), 0);
    EXPECT_TRUE(takeAndGive(name));
    // Held by root, the other user waits; held by them, root waits.
    NamedMutex mine;
    ASSERT_EQ(mine.Create(name), SysError::kSuccess);
    ASSERT_EQ(mine.Wait(0), NamedMutex::WaitResult::Acquired);
    EXPECT_EQ(VendraTest::RunUnprivileged([&] {
                NamedMutex theirs;
                return theirs.Create(name) == SysError::kSuccess &&
                               theirs.Wait(20) == NamedMutex::WaitResult::TimedOut
                           ? 0
                           : 1;
              }),
              0);
    mine.Release();
  }
}

// At its time limit a waiter can say who holds the mutex: the holder's
// process and user, as the system knows them.
TEST_F(NamedObjectsTest, HeldMutexNamesItsHolder) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a child as another user";
  NamedMutex mutex;
  ASSERT_EQ(mutex.Create(u"Global\\Test-Holder"), SysError::kSuccess);
  Child holder(
      [] {
        static NamedMutex theirs;
        return theirs.Create(u"Global\\Test-Holder") == SysError::kSuccess &&
               theirs.Wait(0) == NamedMutex::WaitResult::Acquired;
      },
      Child::User::Unprivileged);
  ASSERT_TRUE(holder.Ready());
  EXPECT_EQ(mutex.Wait(20), NamedMutex::WaitResult::TimedOut);
  const NamedMutex::Holder held = mutex.CurrentHolder();
  EXPECT_EQ(held.processId, static_cast<uint32_t>(holder.pid()));
  EXPECT_EQ(VendraText::Utf16ToUtf8(held.user), "nobody (65534)");
  // Given up for good, the holder is not named any more; the next owner is.
  holder.Kill();
  EXPECT_EQ(mutex.Wait(2000), NamedMutex::WaitResult::Abandoned);
  EXPECT_EQ(mutex.CurrentHolder().processId, static_cast<uint32_t>(::getpid()));
  mutex.Release();
  EXPECT_EQ(mutex.CurrentHolder().processId, 0u);
}

// A link or a folder in a mutex file's place is nobody's lock: refused, and
// the text names the place.
TEST_F(NamedObjectsTest, MutexPlaceHoldingNoFileIsRefusedByName) {
  const std::string target = root_.Sub("elsewhere");
  VendraTest::WriteTextFile(target, "");
  NamedMutex first;  // makes the object folder
  ASSERT_EQ(first.Create(u"Test-First"), SysError::kSuccess);
  for (const bool asLink : {true, false}) {
    SCOPED_TRACE(asLink ? "link" : "folder");
    const char16_t* name = asLink ? u"Test-Link" : u"Test-Folder";
    const std::string path = VendraPlatform::Posix::NamedObjectPath(name, "mutex");
    ASSERT_EQ(asLink ? ::symlink(target.c_str(), path.c_str()) : ::mkdir(path.c_str(), 0755), 0);
    NamedMutex mutex;
    const uint32_t error = mutex.Create(name);
    EXPECT_EQ(error, SysError::kAccessDenied);
    EXPECT_FALSE(mutex.IsOpen());
    const std::string text = VendraText::Utf16ToUtf8(mutex.UnopenedText(error));
    EXPECT_NE(text.find(path + " cannot be opened"), std::string::npos) << text;
  }
  EXPECT_EQ(VendraTest::ReadTextFile(target), "");
}

TEST_F(NamedObjectsTest, BlockIsCreatedZeroFilledAndShared) {
  SharedMemory reader;
  EXPECT_EQ(reader.OpenExisting(u"Test-Block"), SysError::kFileNotFound);
  SharedMemory writer;
  ASSERT_EQ(writer.Create(u"Test-Block", kBlockSize), SysError::kSuccess);
  ASSERT_EQ(writer.Map(kBlockSize), SysError::kSuccess);
  const auto* bytes = static_cast<const unsigned char*>(writer.View());
  for (uint32_t i = 0; i < kBlockSize; ++i) ASSERT_EQ(bytes[i], 0) << i;
  std::memcpy(writer.View(), "token", 6);
  ASSERT_EQ(reader.OpenExisting(u"Test-Block"), SysError::kSuccess);
  ASSERT_EQ(reader.Map(kBlockSize), SysError::kSuccess);
  EXPECT_STREQ(static_cast<const char*>(reader.View()), "token");
  // Creating an existing block opens it.
  SharedMemory again;
  ASSERT_EQ(again.Create(u"Test-Block", kBlockSize), SysError::kSuccess);
  ASSERT_EQ(again.Map(kBlockSize), SysError::kSuccess);
  EXPECT_STREQ(static_cast<const char*>(again.View()), "token");
}

TEST_F(NamedObjectsTest, BlockGoesWithItsLastUser) {
  Child creator([] {
    static SharedMemory block;
    if (block.Create(u"Test-Last", kBlockSize) != SysError::kSuccess) return false;
    if (block.Map(kBlockSize) != SysError::kSuccess) return false;
    std::memcpy(block.View(), "from the child", 15);
    return true;
  });
  ASSERT_TRUE(creator.Ready());
  {
    SharedMemory block;
    ASSERT_EQ(block.OpenExisting(u"Test-Last"), SysError::kSuccess);
    ASSERT_EQ(block.Map(kBlockSize), SysError::kSuccess);
    // The creator leaves; this process still has the block, content and all.
    creator.Finish();
    EXPECT_STREQ(static_cast<const char*>(block.View()), "from the child");
    SharedMemory second;
    ASSERT_EQ(second.OpenExisting(u"Test-Last"), SysError::kSuccess);
  }
  SharedMemory after;
  EXPECT_EQ(after.OpenExisting(u"Test-Last"), SysError::kFileNotFound);
  ASSERT_EQ(after.Create(u"Test-Last", kBlockSize), SysError::kSuccess);
  ASSERT_EQ(after.Map(kBlockSize), SysError::kSuccess);
  EXPECT_EQ(static_cast<const char*>(after.View())[0], '\0');
}

TEST_F(NamedObjectsTest, BlockOfKilledUsersIsEmptied) {
  Child creator([] {
    static SharedMemory block;
    if (block.Create(u"Test-Killed", kBlockSize) != SysError::kSuccess) return false;
    if (block.Map(kBlockSize) != SysError::kSuccess) return false;
    std::memcpy(block.View(), "secret", 7);
    return true;
  });
  ASSERT_TRUE(creator.Ready());
  creator.Kill();
  SharedMemory block;
  ASSERT_EQ(block.OpenExisting(u"Test-Killed"), SysError::kSuccess);
  ASSERT_EQ(block.Map(kBlockSize), SysError::kSuccess);
  const auto* bytes = static_cast<const unsigned char*>(block.View());
  for (uint32_t i = 0; i < kBlockSize; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(NamedObjectsTest, BlockPlantedOpenToOthersIsRefused) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a child as another user";
  const std::string path = VendraPlatform::Posix::NamedObjectPath(u"Test-Planted", "shm");
  const int planted = VendraTest::RunUnprivileged([&path] {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0 || ::fchmod(fd, 0666) != 0 || ::ftruncate(fd, kBlockSize) != 0) return 1;
    ::close(fd);
    return 0;
  });
  ASSERT_EQ(planted, 0);
  SharedMemory block;
  EXPECT_EQ(block.OpenExisting(u"Test-Planted"), SysError::kAccessDenied);
  EXPECT_EQ(block.Create(u"Test-Planted", kBlockSize), SysError::kAccessDenied);
  EXPECT_FALSE(block.IsOpen());
}

TEST_F(NamedObjectsTest, BlockIsPrivateToItsCreator) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a child as another user";
  SharedMemory block;
  ASSERT_EQ(block.Create(u"Test-Private", kBlockSize), SysError::kSuccess);
  const int code = VendraTest::RunUnprivileged([] {
    SharedMemory theirs;
    return theirs.OpenExisting(u"Test-Private") == SysError::kAccessDenied ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
}

TEST_F(NamedObjectsTest, ShortBlockIsNotMapped) {
  const std::string path = VendraPlatform::Posix::NamedObjectPath(u"Test-Short", "shm");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  SharedMemory block;
  ASSERT_EQ(block.OpenExisting(u"Test-Short"), SysError::kSuccess);
  EXPECT_NE(block.Map(kBlockSize), SysError::kSuccess);
  EXPECT_EQ(block.View(), nullptr);
}

}  // namespace
