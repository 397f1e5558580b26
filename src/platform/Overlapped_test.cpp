#include "platform/Overlapped.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/Clock.h"
#include "platform/LastError.h"

namespace {

TEST(OverlappedTest, PendingThenCompleted) {
  CEvent event(true, false);
  OVERLAPPED ov;
  ov.hEvent = &event;
  BeginOverlapped(&ov);
  DWORD bytes = 123;
  EXPECT_EQ(GetOverlappedResult(nullptr, &ov, &bytes, FALSE), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
  CompleteOverlapped(&ov, ERROR_SUCCESS, 512);
  EXPECT_TRUE(event.IsSet());
  EXPECT_EQ(GetOverlappedResult(nullptr, &ov, &bytes, FALSE), TRUE);
  EXPECT_EQ(bytes, 512u);
}

TEST(OverlappedTest, AbortedOperationReports995AndShortCount) {
  CEvent event(true, false);
  OVERLAPPED ov;
  ov.hEvent = &event;
  BeginOverlapped(&ov);
  CompleteOverlapped(&ov, ERROR_OPERATION_ABORTED, 7);
  DWORD bytes = 0;
  EXPECT_EQ(GetOverlappedResult(nullptr, &ov, &bytes, FALSE), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(bytes, 7u);
}

TEST(OverlappedTest, WaitingGetResultBlocksUntilCompletion) {
  CEvent event(true, true);  // stale signal from an earlier operation
  OVERLAPPED ov;
  ov.hEvent = &event;
  BeginOverlapped(&ov);
  EXPECT_FALSE(event.IsSet());
  std::thread completer([&] {
    Sleep(20);
    CompleteOverlapped(&ov, ERROR_SUCCESS, 3);
  });
  DWORD bytes = 0;
  EXPECT_EQ(GetOverlappedResult(nullptr, &ov, &bytes, TRUE), TRUE);
  EXPECT_EQ(bytes, 3u);
  completer.join();
}

}  // namespace
