// The display feeds behind the data reader and the USM reader: every byte in
// order however much arrives between two takes, nothing while disabled, and
// "Clear Buffer" separating the bytes before it from those after it in both
// the feed and the received-data file.
#include <gtest/gtest.h>

#include "comm/Cablox.h"
#include "testsupport/EngineTestSupport.h"
#include "engine/TransferGlobals.h"
#include "platform/Clock.h"

namespace {

class RxFeedTest : public CEngineTest {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    m_link.usmChannel = true;
    Connect(COMM_TYPE_USB);
    m_strRxFile = m_strHome + "/Output/RxData.bin";
    ASSERT_EQ(g_RxDataFile.Open(m_strRxFile, CMyFile::kModeWrite, 0), 1);
  }
  void TearDown() override {
    g_RxDataFeed.SetEnabled(false);
    g_RxUsmFeed.SetEnabled(false);
    CEngineTest::TearDown();
  }
  static std::vector<BYTE> Pattern(size_t n, unsigned seed) {
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i)
      v[i] = static_cast<BYTE>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return v;
  }
  // Everything the feed holds, in one piece.
  static std::vector<BYTE> TakeAll(CRxFeed& feed) {
    std::vector<CRxFeed::Block> blocks;
    const size_t count = feed.Take(&blocks);
    std::vector<BYTE> all;
    for (const CRxFeed::Block& b : blocks)
      all.insert(all.end(), b.begin(), b.end());
    EXPECT_EQ(all.size(), count);
    return all;
  }
  // Waits until the ring has been given `count` bytes in all.
  static bool WaitForRing(CRingBuffer& ring, DWORD count) {
    return ring.WaitForCount(count, 5000, nullptr) == 1;
  }
  std::string m_strRxFile;
};

TEST_F(RxFeedTest, KeepsEveryByteOfBothChannelsInOrderWhateverTheRingDropped) {
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  m_link.Feed(COMM_CHANNEL_RX, {1, 2, 3});  // feeds still off: kept nowhere
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 3));
  g_RxDataFeed.SetEnabled(true);
  g_RxUsmFeed.SetEnabled(true);
  const std::vector<BYTE> data = Pattern(20000, 1);  // five rings' worth
  const std::vector<BYTE> usm = Pattern(6000, 2);
  m_link.Feed(COMM_CHANNEL_RX, data);
  m_link.Feed(COMM_CHANNEL_RX_USM, usm);
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 20003));
  ASSERT_TRUE(WaitForRing(g_RxUsmBuffer, 6000));
  EXPECT_EQ(TakeAll(g_RxDataFeed), data);
  EXPECT_EQ(TakeAll(g_RxUsmFeed), usm);
  EXPECT_TRUE(TakeAll(g_RxDataFeed).empty());
}

TEST_F(RxFeedTest, ClearDuringReceptionEmptiesTheFileAndTheFeedOfEverythingBefore) {
  g_RxDataFeed.SetEnabled(true);
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  const std::vector<BYTE> before = Pattern(70000, 3);  // more than one file batch
  const std::vector<BYTE> after = Pattern(3000, 4);
  m_link.Feed(COMM_CHANNEL_RX, before);
  // Clear while the reader is still delivering `before`.
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 30000));
  ASSERT_EQ(g_TransferEngine.ClearReceivedData(m_strRxFile), 1);
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 70000));
  const std::vector<BYTE> rest = TakeAll(g_RxDataFeed);
  g_TransferEngine.FlushReceivedData();
  EXPECT_EQ(ReadWhole(m_strRxFile), rest);  // the file kept what the feed kept
  ASSERT_EQ(g_TransferEngine.ClearReceivedData(m_strRxFile), 1);
  EXPECT_TRUE(ReadWhole(m_strRxFile).empty());
  m_link.Feed(COMM_CHANNEL_RX, after);
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 73000));
  g_TransferEngine.StopReaders();
  EXPECT_EQ(ReadWhole(m_strRxFile), after);
  EXPECT_EQ(TakeAll(g_RxDataFeed), after);
  // What the first clear kept was the tail of `before`.
  ASSERT_LE(rest.size(), before.size());
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), before.end() - rest.size()));
}

}  // namespace
