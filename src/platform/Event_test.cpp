#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/LastError.h"

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Without other threads: what a wait consumes, the lowest signalled index of
// a wait-any, the time-out, and refused arguments.
TEST(EventTest, WaitsConsumeOnlyAutoResetEventsAndHonourTheTimeout) {
  CEvent manual(true, true);
  CEvent autoReset(false, true);
  EXPECT_EQ(WaitForSingleObject(&manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(&manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(&autoReset, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(&autoReset, 0), WAIT_TIMEOUT);
  manual.Reset();
  EXPECT_FALSE(manual.IsSet());

  CEvent a(false, false), b(false, true), c(false, true);
  CEvent* set[] = {&a, &b, &c};
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_TRUE(c.IsSet());
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, 0), WAIT_OBJECT_0 + 2);
  const auto start = Clock::now();
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, 50), WAIT_TIMEOUT);
  EXPECT_GE(ElapsedMs(start), 50);

  CEvent* none[] = {nullptr};
  EXPECT_EQ(WaitForMultipleObjects(1, none, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForMultipleObjects(0, set, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetEvent(nullptr), FALSE);
}

// A wait-all needs every event at once and consumes nothing on a partial
// match; a later Set completes it (wait-any wakes on a later Set below).
TEST(EventTest, WaitAllNeedsEveryEventAtOnce) {
  CEvent a(false, true), b(true, false);
  CEvent* set[] = {&a, &b};
  EXPECT_EQ(WaitForMultipleObjects(2, set, TRUE, 10), WAIT_TIMEOUT);
  EXPECT_TRUE(a.IsSet());
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    b.Set();
  });
  EXPECT_EQ(WaitForMultipleObjects(2, set, TRUE, 5000), WAIT_OBJECT_0);
  setter.join();
  EXPECT_FALSE(a.IsSet());
  EXPECT_TRUE(b.IsSet());  // manual reset: not consumed
}

// Each Set of an auto-reset event releases exactly one of many waiters; the
// Set of a manual-reset event in the same wait-any sets wakes all the rest.
TEST(EventTest, AutoResetReleasesOneWaiterPerSetManualResetWakesAll) {
  CEvent e(false, false), stop(true, false);
  constexpr int kWaiters = 6, kSets = 4;
  std::atomic<int> released{0}, stopped{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      CEvent* set[] = {&e, &stop};
      const DWORD r = WaitForMultipleObjects(2, set, FALSE, 5000);
      if (r == WAIT_OBJECT_0)
        ++released;
      else if (r == WAIT_OBJECT_0 + 1)
        ++stopped;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  for (int round = 1; round <= kSets; ++round) {
    e.Set();
    auto start = Clock::now();
    while (released.load() < round && ElapsedMs(start) < 2000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(released.load(), round);
  }
  const auto stopAt = Clock::now();
  stop.Set();
  for (auto& t : waiters)
    t.join();
  EXPECT_LT(ElapsedMs(stopAt), 2500) << "a waiter slept until its time-out";
  EXPECT_FALSE(e.IsSet());
  EXPECT_EQ(stopped.load(), kWaiters - kSets);
}

// Two threads hammer the two events of one wait set: every set is seen,
// none is lost and none is seen twice.
TEST(EventTest, WaitAnyLosesNoSignalUnderLoad) {
  CEvent work(false, false), stop(false, false), ack(false, false);
  constexpr int kRounds = 2000;
  int seen = 0;
  std::thread consumer([&] {
    CEvent* set[] = {&stop, &work};
    for (;;) {
      DWORD r = WaitForMultipleObjects(2, set, FALSE, 5000);
      if (r != WAIT_OBJECT_0 + 1)
        break;
      ++seen;
      ack.Set();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    work.Set();
    ASSERT_EQ(WaitForSingleObject(&ack, 5000), WAIT_OBJECT_0);
  }
  stop.Set();
  consumer.join();
  EXPECT_EQ(seen, kRounds);
}

}  // namespace
