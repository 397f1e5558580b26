// The event loop of a run without a window: the owning thread runs what
// other threads hand over, in order, with its timers and watched
// descriptors; a close never leaves a caller waiting.
#include "platform/EventLoop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/InvokerTarget.h"

namespace {

using std::chrono::milliseconds;

TEST(EventLoopTest, RunsPostsInOrderStopsAtQuitAndKeepsTheRest) {
  CEventLoop loop;
  std::string order;
  const std::thread::id self = std::this_thread::get_id();
  std::thread poster([&] {
    loop.Post([&] { order += 'a'; });
    loop.Post([&] {
      order += 'b';
      loop.Quit();
    });
    loop.Post([&] { order += 'c'; });
  });
  poster.join();
  loop.Run();
  EXPECT_EQ(order, "ab");  // the request after the quit waits
  int ticks = 0;
  bool onLoopThread = true;
  loop.AddTimer(5, [&] {
    onLoopThread = onLoopThread && std::this_thread::get_id() == self;
    if (++ticks == 3)
      loop.Quit();
  });
  const auto start = std::chrono::steady_clock::now();
  loop.Run();
  EXPECT_EQ(order, "abc");
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(onLoopThread);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(14));

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  char byte = 'x';
  loop.WatchFd(fds[0], [&] {
    EXPECT_EQ(::read(fds[0], &byte, 1), 1);
    loop.Quit();
  });
  ASSERT_EQ(::write(fds[1], "s", 1), 1);
  loop.Run();
  EXPECT_EQ(byte, 's');
  ::close(fds[0]);
  ::close(fds[1]);
}

// A worker's send waits for the handler on the loop's thread; closing lets
// a waiting sender go without running it, and refuses everything after.
TEST(EventLoopTest, SendWaitsForTheHandlerAndCloseReleasesAWaitingSender) {
  CEventLoop loop;
  CInvokerTarget target(loop);
  std::atomic<int> handled{0};
  target.SetHandler([&](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
    handled += 1;
    return static_cast<LRESULT>(message + wParam);
  });
  auto sent = std::async(std::launch::async, [&] {
    const LRESULT result = target.SendMessage(10, 5, 0);
    loop.Quit();
    return result;
  });
  loop.Run();
  EXPECT_EQ(sent.get(), 15);

  auto waiting = std::async(std::launch::async, [&] { return target.SendMessage(1, 1, 0); });
  EXPECT_EQ(waiting.wait_for(milliseconds(50)), std::future_status::timeout);
  target.Close();
  ASSERT_EQ(waiting.wait_for(milliseconds(2000)), std::future_status::ready);
  EXPECT_EQ(waiting.get(), 0);
  EXPECT_EQ(handled.load(), 1);
  EXPECT_EQ(target.PostMessage(2, 0, 0), FALSE);
  EXPECT_EQ(target.SendMessage(2, 0, 0), 0);
}

}  // namespace
