// The machine-wide mutex belongs to the process that took it: any of its
// threads may give it up, on both systems (the session lock is taken by one
// download thread and given up by another).
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/named_mutex.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

using VendraPlatform::NamedMutex;

TEST(NamedMutexThreads, GivenUpOnAnotherThreadItIsFreeForTheNextOwner) {
  VendraTest::TempFolder root;
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", root.path());
  const std::u16string name = u"Vendra Test Mutex " + root.wpath().substr(root.wpath().size() - 6);
  NamedMutex held;
  NamedMutex other;
  ASSERT_EQ(held.Create(name), 0u);
  ASSERT_EQ(other.Create(name), 0u);
  NamedMutex::WaitResult taken = NamedMutex::WaitResult::Failed;
  std::thread([&] { taken = held.Wait(0); }).join();
  EXPECT_EQ(taken, NamedMutex::WaitResult::Acquired);
  // Held: another holder waits in vain, on any thread.
  NamedMutex::WaitResult meanwhile = NamedMutex::WaitResult::Failed;
  std::thread([&] { meanwhile = other.Wait(0); }).join();
  EXPECT_EQ(meanwhile, NamedMutex::WaitResult::TimedOut);
  // Given up on a thread other than the one that took it.
  std::thread([&] { held.Release(); }).join();
  NamedMutex::WaitResult next = NamedMutex::WaitResult::Failed;
  std::thread([&] { next = other.Wait(0); }).join();
  EXPECT_EQ(next, NamedMutex::WaitResult::Acquired) << "the mutex stayed with the first thread";
  other.Release();
  held.Close();
  other.Close();
  VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
}
