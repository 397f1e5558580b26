#include "platform/Overlapped.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/Clock.h"
#include "platform/LastError.h"

namespace {

TEST(OverlappedTest, PendingThenCompletedOrAbortedWithAShortCount) {
  for (const DWORD error : {DWORD{ERROR_SUCCESS}, DWORD{ERROR_OPERATION_ABORTED}}) {
    CEvent event(true, false);
    OVERLAPPED ov;
    ov.hEvent = &event;
    BeginOverlapped(&ov);
    DWORD bytes = 123;
    EXPECT_EQ(GetOverlappedResult(nullptr, &ov, &bytes, FALSE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    CompleteOverlapped(&ov, error, 7);
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(GetOverlappedResult(nullptr, &ov, &bytes, FALSE),
              error == ERROR_SUCCESS ? TRUE : FALSE);
    if (error != ERROR_SUCCESS) {
      EXPECT_EQ(GetLastError(), error);
    }
    EXPECT_EQ(bytes, 7u);
  }
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
