#include "engine/RingBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Thread.h"
#include "testsupport/EngineTestSupport.h"

namespace {

TEST(RingBufferTest, PutGetPeekAndCountAcrossTheWrapAndOverflow) {
  CRingBuffer ring;
  EXPECT_EQ(ring.TakeResetFlag(), 1);  // construction resets
  EXPECT_EQ(ring.TakeResetFlag(), 0);
  std::vector<BYTE> first = TestPattern(4000);
  ring.Put(first.data(), 4000);
  for (int i = 0; i < 4000; ++i)
    ASSERT_EQ(ring.Get(), first[i]);
  std::vector<BYTE> second = TestPattern(200, 3);  // crosses the end of the ring
  ring.Put(second.data(), 200);
  EXPECT_EQ(ring.GetCount(), 200u);
  EXPECT_EQ(ring.Peek(4000 + 4096 * 3), second[0]);  // position taken & 0xFFF
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(ring.Get(), second[i]);

  // Overflow overwrites the oldest bytes; the count keeps growing.
  ring.Reset();
  EXPECT_EQ(ring.GetWritePosition(), 0u);
  EXPECT_EQ(ring.TakeResetFlag(), 1);
  std::vector<BYTE> data = TestPattern(5000);
  ring.Put(data.data(), 5000);
  EXPECT_EQ(ring.GetWritePosition(), 904u);  // 5000 & 0xFFF
  EXPECT_EQ(ring.GetCount(), 5000u);
  // The ring holds the last 4096 bytes where a byte-by-byte copy leaves them.
  for (DWORD i = 5000 - 4096; i < 5000; ++i)
    ASSERT_EQ(ring.Peek(i), data[i]) << i;
  // The same in small steps gives the same ring.
  CRingBuffer stepped;
  for (size_t i = 0; i < data.size(); i += 13)
    stepped.Put(data.data() + i, static_cast<DWORD>(std::min<size_t>(13, data.size() - i)));
  for (DWORD i = 0; i < 4096; ++i)
    ASSERT_EQ(stepped.Peek(i), ring.Peek(i));
  EXPECT_EQ(stepped.GetCount(), 5000u);
}

TEST(RingBufferTest, WaitForCountBudgetAndAbort) {
  CRingBuffer ring;
  CEvent abort(true, false);
  BYTE b = 0x41;
  EXPECT_EQ(ring.WaitForCount(1, 0, &abort), 0);  // no budget: never looks
  ring.Put(&b, 1);
  EXPECT_EQ(ring.WaitForCount(0, 0, &abort), 0);
  EXPECT_EQ(ring.WaitForCount(1, 5, &abort), 1);
  EXPECT_EQ(ring.WaitForCount(2, 5, &abort), 0);
  abort.Set();
  EXPECT_EQ(ring.WaitForCount(1, 5, &abort), 2);  // abort wins over bytes
  EXPECT_EQ(ring.WaitForCount(1, 5, nullptr), 1);

  // A budget of polls lasts at least that many milliseconds without bytes.
  abort.Reset();
  LONGLONG f = 0, t0 = 0, t1 = 0;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  EXPECT_EQ(ring.WaitForCount(2, 30, &abort), 0);
  QueryPerformanceCounter(&t1);
  EXPECT_GE((t1 - t0) * 1000 / f, 30);
}

// (Waking on arrival: ConcurrentPutAndGetKeepOrder.)
TEST(RingBufferTest, WaitForCountWakesOnAbortWithinAPoll) {
  CRingBuffer ring;
  CEvent abort(true, false);
  auto aborter = CThread::Create(
      [&]() -> DWORD {
        Sleep(20);
        abort.Set();
        return 0;
      },
      THREAD_PRIORITY_NORMAL, "aborter");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ring.WaitForCount(10, 20000, &abort), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(aborter->Wait(5000), WAIT_OBJECT_0);
}

TEST(RingBufferTest, ConcurrentPutAndGetKeepOrder) {
  CRingBuffer ring;
  constexpr int kTotal = 200000;
  auto producer = CThread::Create(
      [&]() -> DWORD {
        BYTE block[37];
        int next = 0;
        while (next < kTotal) {
          // Stay well within the ring so nothing is overwritten.
          if (ring.GetCount() > 3000) {
            std::this_thread::yield();
            continue;
          }
          int n = std::min<int>(37, kTotal - next);
          for (int i = 0; i < n; ++i)
            block[i] = static_cast<BYTE>(next + i);
          ring.Put(block, n);
          next += n;
        }
        return 0;
      },
      THREAD_PRIORITY_NORMAL, "producer");
  int bad = 0;
  for (int i = 0; i < kTotal; ++i) {
    ASSERT_EQ(ring.WaitForCount(1, 5000, nullptr), 1);
    bad += ring.Get() != static_cast<BYTE>(i);
  }
  EXPECT_EQ(bad, 0);
  ASSERT_EQ(producer->Wait(5000), WAIT_OBJECT_0);
}

}  // namespace
