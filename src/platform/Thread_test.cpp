#include "platform/Thread.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstring>

namespace {

TEST(ThreadTest, RunsNamedThreadAndReportsExitCode) {
  char seenName[32] = {};
  auto thread = CThread::Create(
      [&]() -> DWORD {
        pthread_getname_np(pthread_self(), seenName, sizeof seenName);
        return 42;
      },
      THREAD_PRIORITY_HIGHEST, "Thread File Transfer");
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(thread->Wait(5000), WAIT_OBJECT_0);
  EXPECT_TRUE(thread->HasEnded());
  EXPECT_EQ(thread->ExitCode(), 42u);
  EXPECT_STREQ(seenName, "Thread File Tra");  // the kernel keeps 15 characters
  EXPECT_EQ(thread->RequestedPriority(), THREAD_PRIORITY_HIGHEST);
}

// A wait times out while the thread runs; destroying the object of a running
// thread must not harm the thread.
TEST(ThreadTest, WaitTimesOutWhileRunningAndDestroyingDetachesSafely) {
  CEvent release(true, false);
  CEvent done(true, false);
  auto thread = CThread::Create(
      [&]() -> DWORD {
        WaitForSingleObject(&release, 5000);
        done.Set();
        return 0;
      },
      THREAD_PRIORITY_ABOVE_NORMAL, "detached");
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(thread->Wait(20), WAIT_TIMEOUT);
  EXPECT_FALSE(thread->HasEnded());
  thread.reset();
  release.Set();
  EXPECT_EQ(WaitForSingleObject(&done, 5000), WAIT_OBJECT_0);
  // Let the detached thread finish touching its shared state before the
  // test (and the events on its stack) end.
  Sleep(20);
}

}  // namespace
