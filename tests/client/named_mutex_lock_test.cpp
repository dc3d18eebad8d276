// The session lock between real processes and between threads of one.
#include "client/named_mutex_lock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "tests/client/helper_process.h"
#include "tests/client/session_test_root.h"
#include "tests/support/environment.h"
#ifndef _WIN32
#include "tests/support/forked_child.h"
#include "tests/support/unprivileged.h"
#endif

namespace {

using VendraClient::NamedMutexLock;
using VendraTest::HelperProcess;

constexpr char16_t kSessionName[] = u"Global\\Vendra Software-Sync";

class NamedMutexLockTest : public VendraTest::MachineRootTest {};

TEST_F(NamedMutexLockTest, NestedAcquisitionsHoldUntilTheOutermostRelease) {
  NamedMutexLock lock(u"", kSessionName);
  HelperProcess other;
  ASSERT_TRUE(lock.Acquire(0));
  ASSERT_TRUE(lock.Acquire(0));
  EXPECT_EQ(lock.Depth(), 2);
  EXPECT_EQ(other.Call("lock 0"), "timeout");
  lock.Release();
  EXPECT_EQ(other.Call("lock 0"), "timeout");
  lock.Release();
  EXPECT_EQ(lock.Depth(), 0);
  EXPECT_EQ(other.Call("lock 0"), "locked");
  EXPECT_FALSE(lock.Acquire(0));
  EXPECT_EQ(lock.Depth(), 0);
  EXPECT_EQ(other.Call("unlock"), "unlocked");
  EXPECT_TRUE(lock.Acquire(0));
  lock.Release();
  // A Release beyond the last level changes nothing.
  lock.Release();
  EXPECT_EQ(lock.Depth(), 0);
}

TEST_F(NamedMutexLockTest, NestedLevelsInAnotherProcessCount) {
  HelperProcess holder;
  HelperProcess other;
  EXPECT_EQ(holder.Call("lock 0"), "locked");
  EXPECT_EQ(holder.Call("lock 0"), "locked");
  EXPECT_EQ(holder.Call("depth"), "depth 2");
  EXPECT_EQ(holder.Call("unlock"), "unlocked");
  EXPECT_EQ(other.Call("lock 0"), "timeout");
  EXPECT_EQ(holder.Call("unlock"), "unlocked");
  EXPECT_EQ(other.Call("lock 0"), "locked");
}

TEST_F(NamedMutexLockTest, LockOfAKilledHolderGoesToTheNextWaiter) {
  HelperProcess holder;
  HelperProcess waiter;
  ASSERT_EQ(holder.Call("lock 0"), "locked");
  EXPECT_EQ(waiter.Call("lock 100"), "timeout");
  ASSERT_TRUE(waiter.Send("lock 30000"));
  holder.Kill();
  EXPECT_EQ(waiter.ReadLine(), "locked");
}

TEST_F(NamedMutexLockTest, WaitEndsAtTheTimeLimit) {
  NamedMutexLock lock(u"", kSessionName);
  HelperProcess holder;
  ASSERT_EQ(holder.Call("lock 0"), "locked");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(lock.Acquire(300));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(300));
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_EQ(lock.Depth(), 0);
}

TEST_F(NamedMutexLockTest, AnotherThreadMayReleaseTheLastLevel) {
  NamedMutexLock lock(u"", kSessionName);
  HelperProcess other;
  ASSERT_TRUE(lock.Acquire(0));
  std::thread second([&lock] {
    // The process holds the lock already: no wait.
    EXPECT_TRUE(lock.Acquire(0));
  });
  second.join();
  lock.Release();
  std::thread([&lock] { lock.Release(); }).join();
  EXPECT_EQ(lock.Depth(), 0);
  EXPECT_EQ(other.Call("lock 0"), "locked");
}

TEST_F(NamedMutexLockTest, TwoThreadsKeepTheCountRight) {
  NamedMutexLock lock(u"", kSessionName);
  HelperProcess other;
  std::atomic<int> failures{0};
  auto work = [&lock, &failures] {
    for (int i = 0; i < 3000; ++i) {
      if (!lock.Acquire(10000)) ++failures;
      if (!lock.Acquire(10000)) ++failures;
      lock.Release();
      lock.Release();
    }
  };
  std::thread first(work);
  std::thread second(work);
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(lock.Depth(), 0);
  EXPECT_EQ(other.Call("lock 0"), "locked");
}

TEST_F(NamedMutexLockTest, LockWithoutItsMutexNeverSucceeds) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows names its mutexes in the system's namespace, which the machine root "
                  "does not move";
#endif
  // Below a plain file no folder can be made, so the mutex cannot exist.
  VendraTest::WriteTextFile(root_.Sub("plain-file"), "x");
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", root_.Sub("plain-file/folder"));
  NamedMutexLock lock(u"", kSessionName);
  EXPECT_FALSE(lock.Acquire(0));
  EXPECT_FALSE(lock.Acquire(50));
  EXPECT_EQ(lock.Depth(), 0);
  // Waiting would not help, and the text says which lock is unusable.
  EXPECT_FALSE(lock.Opened());
  EXPECT_NE(lock.UnopenedText().find(VendraText::Utf8ToUtf16(root_.Sub("plain-file/folder/"))),
            std::u16string::npos);
}

#ifndef _WIN32
// While another user holds the session lock, the time-out names the lock
// and the holder.
TEST_F(NamedMutexLockTest, AnotherUsersHolderIsNamedAtTheTimeLimit) {
  if (!VendraTest::CanDropPrivileges()) GTEST_SKIP() << "needs root to run a child as another user";
  NamedMutexLock lock(u"", kSessionName);
  ASSERT_TRUE(lock.Opened());
  VendraTest::ForkedChild holder(
      [] {
        static NamedMutexLock theirs(u"", kSessionName);
        return theirs.Acquire(0);
      },
      VendraTest::ForkedChild::User::Unprivileged);
  ASSERT_TRUE(holder.Ready());
  EXPECT_FALSE(lock.Acquire(50));
  const std::string text = VendraText::Utf16ToUtf8(lock.HeldText());
  EXPECT_NE(text.find(root_.Sub("Objects") +
                      "/vendra.Global%5CVendra Software-Sync.mutex is held by process " +
                      std::to_string(holder.pid()) + " of user nobody (65534)"),
            std::string::npos)
      << text;
}
#endif

}  // namespace
