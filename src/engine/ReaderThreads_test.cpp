// The reader threads against the fake backend: where received bytes go,
// line status, starting and stopping, a reader that ends on an error. And
// the display feeds behind them: every byte in order however much arrives
// between two takes, nothing while disabled, and "Clear Buffer" separating
// the bytes before it from those after it in both the feed and the
// received-data file.
#include <gtest/gtest.h>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "testsupport/EngineTestSupport.h"

namespace {

using ReaderThreadsTest = CReaderTest;

TEST_F(ReaderThreadsTest, DataGoesToTheFileAndTheDataRingUsmToItsOwnFeed) {
  StartLog();
  m_io.rxUsmFeed.SetEnabled(true);
  ASSERT_EQ(m_engine.StartReaders(), 1);
  ASSERT_TRUE(m_engine.m_pReadUsmThread != nullptr);
  const std::vector<BYTE> data = TestPattern(1500);  // more than one 512-byte read
  const std::vector<BYTE> usm = {0x10, 0x20, 0x30};
  m_link.Feed(COMM_CHANNEL_RX, data);
  m_link.Feed(COMM_CHANNEL_RX_USM, usm);
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 1500));
  ASSERT_TRUE(WaitForFeed(m_io.rxUsmFeed, 3));
  // The file is written in batches, but a pause in the stream finds it whole.
  for (int i = 0; i < 500 && ReadWhole(m_strRxFile).size() < 1500; ++i)
    Sleep(2);
  EXPECT_EQ(ReadWhole(m_strRxFile), data);
  // And bytes fed while a read is pending.
  Sleep(20);
  m_link.Feed(COMM_CHANNEL_RX, data);
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 3000));
  m_engine.StopReaders();
  EXPECT_EQ(Take(m_io.rxDataBuffer, 1500), data);
  EXPECT_EQ(Take(m_io.rxDataBuffer, 1500), data);
  EXPECT_EQ(TakeAll(m_io.rxUsmFeed), usm);
  std::vector<BYTE> both = data;
  both.insert(both.end(), data.begin(), data.end());
  EXPECT_EQ(ReadWhole(m_strRxFile), both);  // USM bytes are not in the file
  std::string log = StopLog();
  for (const char* line :
       {"Transfer Thread Read started", "Transfer Thread Read stopped",
        "Transfer Thread Read USM started", "Transfer Thread Read USM stopped"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ReaderThreadsTest, BytesFromADeviceThatIsNotPresentAreDropped) {
  m_link.SetDevicePresent(0);
  m_io.rxUsmFeed.SetEnabled(true);
  ASSERT_EQ(m_engine.StartReaders(), 1);
  m_link.Feed(COMM_CHANNEL_RX, {1, 2, 3});
  m_link.Feed(COMM_CHANNEL_RX_USM, {4, 5});
  for (int i = 0; i < 200 && (m_link.ReadCalls(COMM_CHANNEL_RX) < 2 ||
                              m_link.ReadCalls(COMM_CHANNEL_RX_USM) < 2);
       ++i) {
    Sleep(5);
  }
  m_engine.StopReaders();
  EXPECT_GE(m_link.ReadCalls(COMM_CHANNEL_RX), 2);  // the reads completed
  EXPECT_EQ(m_io.rxDataBuffer.GetCount(), 0u);
  EXPECT_EQ(m_io.rxUsmFeed.HeldBytes(), 0u);
  EXPECT_TRUE(ReadWhole(m_strRxFile).empty());
}

TEST_F(ReaderThreadsTest, LineStatusFirstReportThenOneAtEachReadTimeout) {
  m_link.SetStatus(1, 0x5A);
  m_engine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 1);
  ASSERT_EQ(m_engine.StartReaders(), 1);
  EXPECT_TRUE(m_engine.m_pReadUsmThread == nullptr);  // no USM channel asked
  ASSERT_TRUE(m_events.WaitForCount(EventKind::kLineStatus, 3, 5000));
  m_engine.StopReaders();
  auto status = m_events.Filter(EventKind::kLineStatus);
  EXPECT_EQ(status[0].value, 0x5Au);
  EXPECT_EQ(status[0].detail, 1);
  EXPECT_EQ(status[1].detail, 0);

  // Without status checking nothing is reported.
  m_events.Clear();
  m_engine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 0);
  ASSERT_EQ(m_engine.StartReaders(), 1);
  Sleep(100);  // several read time-outs of 20 ms
  m_engine.StopReaders();
  EXPECT_EQ(m_events.Count(EventKind::kLineStatus), 0u);
}

TEST_F(ReaderThreadsTest, BreakDownEndsTheReadersWhoseSlotsWaitForStopReaders) {
  StartLog();
  ASSERT_EQ(m_engine.StartReaders(), 1);
  Sleep(30);  // both reads pending
  Comm_BreakDownCommPort();
  ASSERT_EQ(m_engine.m_pReadThread->Wait(5000), WAIT_OBJECT_0);
  ASSERT_EQ(m_engine.m_pReadUsmThread->Wait(5000), WAIT_OBJECT_0);
  EXPECT_TRUE(m_engine.m_pReadThread != nullptr);  // until StopReaders
  m_engine.StopReaders();                          // finds both stopped events set
  EXPECT_TRUE(Boxes().empty());
  std::string log = StopLog();
  EXPECT_NE(log.find("Error Transfer - Data read GetOverlappedResult in ThreadRead"),
            std::string::npos);
  EXPECT_NE(log.find("Error Transfer - Read USM aborted USM"), std::string::npos);
}

TEST_F(ReaderThreadsTest, AReaderThatDoesNotStopKeepsItsSlotAndNoSecondOneStarts) {
  m_engine.m_dwStopReadersTimeoutMs = 30;
  m_engine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 0);  // the data reader only
  m_link.BlockReads(true);  // the data reader hangs inside the library
  ASSERT_EQ(m_engine.StartReaders(), 1);
  ASSERT_TRUE(m_link.WaitForBlockedRead(COMM_CHANNEL_RX, 5000));
  for (int round = 0; round < 10; ++round) {
    m_engine.StopReaders();
    EXPECT_TRUE(m_engine.m_pReadThread != nullptr) << round;
    ASSERT_EQ(m_engine.StartReaders(), 1);
  }
  Sleep(20);  // a second reader would be inside the library by now
  EXPECT_EQ(m_link.MaxReadsAtOnce(COMM_CHANNEL_RX), 1);
  EXPECT_EQ(m_link.ReadCalls(COMM_CHANNEL_RX), 1);
  EXPECT_EQ(Boxes().size(), 20u);  // "reader did not stop" and "readers did not stop" each time
  m_link.BlockReads(false);        // the call fails, the reader ends on the error
  m_engine.m_dwStopReadersTimeoutMs = CTransferEngine::kStopReadersTimeoutMs;
  m_engine.StopReaders();
  EXPECT_TRUE(m_engine.m_pReadThread == nullptr);
  EXPECT_EQ(Boxes().size(), 20u);
}

class RxFeedTest : public CReaderTest {
 protected:
  void TearDown() override {
    m_io.rxDataFeed.SetEnabled(false);
    m_io.rxUsmFeed.SetEnabled(false);
    CReaderTest::TearDown();
  }
};

TEST_F(RxFeedTest, KeepsEveryByteOfBothChannelsInOrderWhateverTheRingDropped) {
  ASSERT_EQ(m_engine.StartReaders(), 1);
  m_link.Feed(COMM_CHANNEL_RX, {1, 2, 3});  // feeds still off: kept nowhere
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 3));
  m_io.rxDataFeed.SetEnabled(true);
  m_io.rxUsmFeed.SetEnabled(true);
  const std::vector<BYTE> data = TestPattern(20000, 1);  // five rings' worth
  const std::vector<BYTE> usm = TestPattern(6000, 2);
  m_link.Feed(COMM_CHANNEL_RX, data);
  m_link.Feed(COMM_CHANNEL_RX_USM, usm);
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 20003));
  ASSERT_TRUE(WaitForFeed(m_io.rxUsmFeed, 6000));
  EXPECT_EQ(TakeAll(m_io.rxDataFeed), data);
  EXPECT_EQ(TakeAll(m_io.rxUsmFeed), usm);
  EXPECT_TRUE(TakeAll(m_io.rxDataFeed).empty());
  // Later bytes land in the blocks given back, and only they come out.
  const std::vector<BYTE> more = TestPattern(5000, 3);
  m_link.Feed(COMM_CHANNEL_RX, more);
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 25003));
  EXPECT_EQ(TakeAll(m_io.rxDataFeed), more);
}

TEST_F(RxFeedTest, ClearDuringReceptionEmptiesTheFileAndTheFeedOfEverythingBefore) {
  m_io.rxDataFeed.SetEnabled(true);
  ASSERT_EQ(m_engine.StartReaders(), 1);
  const std::vector<BYTE> before = TestPattern(70000, 3);  // more than one file batch
  const std::vector<BYTE> after = TestPattern(3000, 4);
  m_link.Feed(COMM_CHANNEL_RX, before);
  // Clear while the reader is still delivering `before`.
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 30000));
  ASSERT_EQ(m_engine.ClearReceivedData(), 1);
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 70000));
  const std::vector<BYTE> rest = TakeAll(m_io.rxDataFeed);
  m_engine.FlushReceivedData();
  EXPECT_EQ(ReadWhole(m_strRxFile), rest);  // the file kept what the feed kept
  ASSERT_EQ(m_engine.ClearReceivedData(), 1);
  EXPECT_TRUE(ReadWhole(m_strRxFile).empty());
  m_link.Feed(COMM_CHANNEL_RX, after);
  ASSERT_TRUE(WaitForRing(m_io.rxDataBuffer, 73000));
  m_engine.StopReaders();
  EXPECT_EQ(ReadWhole(m_strRxFile), after);
  EXPECT_EQ(TakeAll(m_io.rxDataFeed), after);
  // What the first clear kept was the tail of `before`.
  ASSERT_LE(rest.size(), before.size());
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), before.end() - rest.size()));
}

}  // namespace
