// Block times as the display builds them: bytes stamped by a feed with a
// given clock, taken with their marks, grouped by the idle gap.
#include "engine/RxBlockTimes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::int64_t kWall = 1'800'000'000'000;  // a wall-clock offset

class RxBlockTimesTest : public ::testing::Test {
 protected:
  void SetUp() override { m_feed.SetEnabled(true); }
  void Put(DWORD count, std::uint64_t atMs) {
    const std::vector<BYTE> bytes(count, 0x55);
    m_feed.Put(bytes.data(), count, atMs);
  }
  void Take() {
    std::vector<CRxFeed::Block> blocks;
    std::vector<CRxFeed::Mark> marks;
    const size_t count = m_feed.Take(&blocks, &marks);
    m_times.AddTake(marks, count, kWall);
    m_feed.Recycle(&blocks);
  }
  std::int64_t TimeAt(std::uint64_t offset) const {
    std::int64_t at = -1;
    EXPECT_TRUE(m_times.TimeAt(offset, &at)) << offset;
    return at - kWall;
  }

  CRxFeed m_feed;
  CRxBlockTimes m_times;
};

// A pause longer than the gap starts a block; one as long or shorter does
// not, within a take or across takes; reads in the same millisecond make
// one mark; each byte gets the time its block began.
TEST_F(RxBlockTimesTest, BlocksSplitOnlyAtPausesLongerThanTheIdleGap) {
  Put(5, 1000);  // bytes 0..4: block at 1000
  Put(3, 1015);  // 15 ms later: same block
  Put(2, 1035);  // exactly 20 ms: same block
  Put(4, 1056);  // 21 ms: bytes 10..13, a block at 1056
  Put(1, 1056);  // same millisecond
  Take();
  Put(5, 1060);   // next take, 4 ms on: still the 1056 block (bytes 15..19)
  Put(12, 1200);  // bytes 20..31: a block at 1200
  Take();
  EXPECT_EQ(m_times.ByteCount(), 32u);
  EXPECT_EQ(m_times.BlockCount(), 3u);
  const std::vector<std::pair<std::uint64_t, std::int64_t>> expected = {
      {0, 1000}, {9, 1000}, {10, 1056}, {19, 1056}, {20, 1200}, {31, 1200}};
  for (const auto& [offset, ms] : expected)
    EXPECT_EQ(TimeAt(offset), ms) << offset;
  std::int64_t at = 0;
  EXPECT_FALSE(m_times.TimeAt(32, &at));
  // Rows of 16 bytes: the first holds a block start at byte 10, the second
  // one at byte 20; a row that begins at a block start holds no other.
  EXPECT_TRUE(m_times.BlockStartsWithin(0, 16));
  EXPECT_TRUE(m_times.BlockStartsWithin(16, 16));
  EXPECT_FALSE(m_times.BlockStartsWithin(20, 12));
  EXPECT_FALSE(m_times.BlockStartsWithin(0, 10));

  // A gap of 0: every new millisecond starts a block, the same one does not.
  m_times.Clear();
  EXPECT_EQ(m_times.BlockCount(), 0u);
  m_times.SetIdleGapMs(0);
  Put(1, 5000);
  Put(1, 5000);
  Put(1, 5001);
  Take();
  EXPECT_EQ(m_times.BlockCount(), 2u);
  EXPECT_EQ(TimeAt(0), 5000);
  EXPECT_EQ(TimeAt(1), 5000);
  EXPECT_EQ(TimeAt(2), 5001);
}

// Many blocks cost 8 bytes each, across runs and offsets beyond 4 GiB, and
// each is still found. A discarded feed hands on no marks.
TEST_F(RxBlockTimesTest, ManyBlocksStayCompactAndFound) {
  constexpr std::uint64_t kBlocks = 3 * CRxBlockTimes::kRunEntries + 7;
  for (std::uint64_t i = 0; i < kBlocks; ++i)
    m_times.Add(4, static_cast<std::int64_t>(i * 100));
  m_times.Add(5'000'000'000, kBlocks * 100);  // one 5 GB block
  m_times.Add(4, kBlocks * 100 + 100);
  EXPECT_EQ(m_times.BlockCount(), kBlocks + 2);
  EXPECT_LT(m_times.MemoryBytes(), (kBlocks + 2) * 8 * 2 + 4096);
  std::int64_t at = 0;
  for (std::uint64_t i : {std::uint64_t{0}, CRxBlockTimes::kRunEntries - 1,
                          CRxBlockTimes::kRunEntries, kBlocks - 1}) {
    ASSERT_TRUE(m_times.TimeAt(i * 4 + 3, &at));
    EXPECT_EQ(at, static_cast<std::int64_t>(i * 100)) << i;
  }
  ASSERT_TRUE(m_times.TimeAt(kBlocks * 4 + 4'999'999'999, &at));
  EXPECT_EQ(at, static_cast<std::int64_t>(kBlocks * 100));
  ASSERT_TRUE(m_times.TimeAt(kBlocks * 4 + 5'000'000'000, &at));
  EXPECT_EQ(at, static_cast<std::int64_t>(kBlocks * 100 + 100));

  Put(3, 10);
  m_feed.Discard();
  Put(2, 20);
  std::vector<CRxFeed::Block> blocks;
  std::vector<CRxFeed::Mark> marks;
  EXPECT_EQ(m_feed.Take(&blocks, &marks), 2u);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].offset, 0u);
  EXPECT_EQ(marks[0].ms, 20u);
}

}  // namespace
