#include "engine/RingBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Thread.h"

namespace {

std::vector<BYTE> Pattern(size_t n, BYTE seed = 0) {
  std::vector<BYTE> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<BYTE>(seed + i * 7);
  return v;
}

TEST(RingBufferTest, PutGetAndCountAcrossTheWrap) {
  CRingBuffer ring;
  std::vector<BYTE> first = Pattern(4000);
  ring.Put(first.data(), 4000);
  for (int i = 0; i < 4000; ++i)
    ASSERT_EQ(ring.Get(), first[i]);
  std::vector<BYTE> second = Pattern(200, 3);  // crosses the end of the ring
  ring.Put(second.data(), 200);
  EXPECT_EQ(ring.GetCount(), 200u);
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(ring.Get(), second[i]);
  EXPECT_EQ(ring.GetCount(), 0u);
}

TEST(RingBufferTest, OverflowOverwritesOldestAndCountKeepsGrowing) {
  CRingBuffer ring;
  std::vector<BYTE> data = Pattern(5000);
  ring.Put(data.data(), 5000);
  // The same in small steps gives the same ring.
  CRingBuffer stepped;
  for (size_t i = 0; i < data.size(); i += 13) {
    stepped.Put(data.data() + i, static_cast<DWORD>(std::min<size_t>(13, data.size() - i)));
  }
  EXPECT_EQ(ring.GetCount(), 5000u);
  EXPECT_EQ(stepped.GetCount(), 5000u);
  // The ring holds the last 4096 bytes where a byte-by-byte copy leaves them:
  // the reader, still at 0, finds bytes 4096.. first, then 904..4095.
  for (DWORD i = 0; i < 4096; ++i) {
    const BYTE expected = data[i < 904 ? 4096 + i : i];
    ASSERT_EQ(ring.Get(), expected) << i;
    ASSERT_EQ(stepped.Get(), expected) << i;
  }

  // Reset puts both indexes back to the start together.
  ring.Reset();
  EXPECT_EQ(ring.GetCount(), 0u);
  const BYTE b = 0x5A;
  ring.Put(&b, 1);
  EXPECT_EQ(ring.Get(), b);
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

TEST(RingBufferTest, WaitForCountWakesOnArrivalAndOnAbortWithinAPoll) {
  CRingBuffer ring;
  CEvent abort(true, false);
  CEvent go(true, false);
  auto producer = CThread::Create(
      [&]() -> DWORD {
        WaitForSingleObject(&go, 5000);
        std::vector<BYTE> data = Pattern(3);
        for (BYTE x : data) {
          ring.Put(&x, 1);
          Sleep(2);
        }
        return 0;
      },
      THREAD_PRIORITY_NORMAL, "producer");
  go.Set();
  EXPECT_EQ(ring.WaitForCount(3, 5000, &abort), 1);
  EXPECT_EQ(ring.GetCount(), 3u);
  ASSERT_EQ(producer->Wait(5000), WAIT_OBJECT_0);

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
