#include "async/wf2_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/thread.h"

namespace {

using namespace std::chrono_literals;

// Runs until told to stop, counting its steps.
class PollingThread final : public Wrenfield2::WF2Thread {
 public:
  int32_t Run() override {
    started = true;
    while (KeepRunning()) {
      ++steps;
      SleepUnlessStopped(1);
    }
    return 7;
  }
  std::atomic<bool> started{false};
  std::atomic<int> steps{0};
};

// Returns as soon as it is let go. While it waits it holds no lock of the
// runtime (the system's own sleep, no heap), so it may be ended by force there.
class GatedThread final : public Wrenfield2::WF2Thread {
 public:
  int32_t Run() override {
    waiting = true;
    while (!open) VendraPlatform::SleepMilliseconds(1);
    ++runs;
    return 0;
  }
  std::atomic<bool> waiting{false};
  std::atomic<bool> open{false};
  std::atomic<int> runs{0};
};

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

TEST(WF2ThreadTest, StopAndKillOnANeverStartedThreadAnswerTrueAndLeaveTheStopRequest) {
  PollingThread thread;
  EXPECT_TRUE(thread.KeepRunning());
  EXPECT_TRUE(thread.Stop(0));
  EXPECT_FALSE(thread.KeepRunning());
  EXPECT_FALSE(thread.SleepUnlessStopped(50));
  EXPECT_TRUE(thread.Kill(0));
  EXPECT_FALSE(thread.IsRunning());

  // Start clears the request: the body runs until the next Stop.
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitFor([&] { return thread.steps > 2; }));
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_TRUE(thread.Stop(5000));
}

TEST(WF2ThreadTest, SecondStartFailsWhileTheFirstThreadRuns) {
  GatedThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_NE(thread.ThreadId(), 0u);
  EXPECT_FALSE(thread.Start());
  EXPECT_TRUE(thread.IsRunning());
  thread.open = true;
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_EQ(thread.runs, 1);
}

TEST(WF2ThreadTest, AFinishedThreadCanBeStartedAgain) {
  GatedThread thread;
  thread.open = true;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_EQ(thread.ThreadId(), 0u);
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitFor([&] { return thread.runs == 2 && !thread.IsRunning(); }));
  EXPECT_TRUE(thread.Stop(0));
}

TEST(WF2ThreadTest, APollingBodyEndsSoonAfterStop) {
  PollingThread thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitFor([&] { return thread.started.load(); }));
  EXPECT_TRUE(thread.Stop(5000));
  EXPECT_FALSE(thread.IsRunning());
  const int steps = thread.steps;
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(thread.steps, steps);
}

TEST(WF2ThreadTest, StopWithATimeLimitAnswersFalseForABodyThatIgnoresIt) {
  GatedThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Stop(30));
  EXPECT_TRUE(thread.IsRunning());
  thread.open = true;
  EXPECT_TRUE(thread.Stop(5000));
}

TEST(WF2ThreadTest, KillEndsTheThreadOnlyWhereTheSystemCan) {
  GatedThread thread;
  ASSERT_TRUE(thread.Start());
  // A thread ended while still starting up, or inside the heap, would leave
  // the loader's or the heap's lock held for good: it is ended in its body.
  ASSERT_TRUE(WaitFor([&] { return thread.waiting.load(); }));
  const bool killed = thread.Kill(0);
#ifdef _WIN32
  EXPECT_TRUE(killed);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_TRUE(thread.Start()) << "a killed thread leaves no handle behind";
  thread.open = true;
#else
  // Ending a thread by force is not safe here: it runs on, and Kill says so.
  EXPECT_FALSE(killed);
  EXPECT_TRUE(thread.IsRunning());
  thread.open = true;
#endif
  EXPECT_TRUE(thread.Stop(5000));
}

// Destroys itself from its own body, as a job does when the worker drops the
// last reference.
class SelfDestroyingThread final : public Wrenfield2::WF2Thread {
 public:
  explicit SelfDestroyingThread(std::atomic<bool>& done) : done_(done) {}
  int32_t Run() override {
    std::atomic<bool>& done = done_;
    delete this;
    done = true;
    return 0;
  }

 private:
  std::atomic<bool>& done_;
};

TEST(WF2ThreadTest, DestructionOnTheWorkerItselfNeitherWaitsNorKills) {
  std::atomic<bool> done{false};
  auto* thread = new SelfDestroyingThread(done);
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_TRUE(thread->Start());
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));
  EXPECT_LT(std::chrono::steady_clock::now() - begun, 4s);
}

// Takes a while to wind down once asked to stop.
class SlowStoppingThread final : public Wrenfield2::WF2Thread {
 public:
  explicit SlowStoppingThread(std::atomic<bool>& finished) : finished_(finished) {}
  int32_t Run() override {
    // Taken before the loop: once the owner's destruction has begun, only the
    // base part of this object is left to use.
    std::atomic<bool>& finished = finished_;
    started = true;
    while (SleepUnlessStopped(1)) {
    }
    std::this_thread::sleep_for(100ms);
    finished = true;
    return 0;
  }
  std::atomic<bool> started{false};

 private:
  std::atomic<bool>& finished_;
};

TEST(WF2ThreadTest, DestructionWaitsForACooperativeBodyToReturn) {
  std::atomic<bool> finished{false};
  {
    SlowStoppingThread thread(finished);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitFor([&] { return thread.started.load(); }));
  }
  EXPECT_TRUE(finished);
}

TEST(PlatformEventTest, ManualResetEventStaysSignalledUntilReset) {
  VendraPlatform::Event event;
  EXPECT_EQ(event.Wait(0), VendraPlatform::Event::WaitResult::TimedOut);
  std::thread setter([&] {
    std::this_thread::sleep_for(10ms);
    event.Set();
  });
  EXPECT_EQ(event.Wait(5000), VendraPlatform::Event::WaitResult::Signalled);
  setter.join();
  EXPECT_EQ(event.Wait(0), VendraPlatform::Event::WaitResult::Signalled);
  event.Reset();
  EXPECT_EQ(event.Wait(10), VendraPlatform::Event::WaitResult::TimedOut);
}

}  // namespace
