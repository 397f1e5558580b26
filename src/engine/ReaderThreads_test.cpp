// The reader threads against the fake backend: where received bytes go,
// line status, starting and stopping, a reader that ends on an error.
#include <gtest/gtest.h>

#include "comm/Cablox.h"
#include "engine/TransferGlobals.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "testsupport/EngineTestSupport.h"

namespace {

class ReaderThreadsTest : public CEngineTest {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    m_link.usmChannel = true;
    Connect(COMM_TYPE_USB);
    m_strRxFile = m_strHome + "/Output/RxData.bin";
    ASSERT_EQ(g_RxDataFile.Open(m_strRxFile, CMyFile::kModeWrite, 0), 1);
  }
  // Waits until the ring holds `count` bytes.
  static bool WaitForRing(CRingBuffer& ring, DWORD count) {
    return ring.WaitForCount(count, 5000, nullptr) == 1;
  }
  static std::vector<BYTE> Take(CRingBuffer& ring, size_t n) {
    std::vector<BYTE> v;
    for (size_t i = 0; i < n; ++i)
      v.push_back(ring.Get());
    return v;
  }
  std::string m_strRxFile;
};

TEST_F(ReaderThreadsTest, DataGoesToTheFileAndTheDataRingUsmToItsOwnRing) {
  StartLog();
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  ASSERT_TRUE(g_TransferEngine.m_pReadUsmThread != nullptr);
  std::vector<BYTE> data(1500);  // more than one 512-byte read
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<BYTE>(i * 11);
  const std::vector<BYTE> usm = {0x10, 0x20, 0x30};
  m_link.Feed(COMM_CHANNEL_RX, data);
  m_link.Feed(COMM_CHANNEL_RX_USM, usm);
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 1500));
  ASSERT_TRUE(WaitForRing(g_RxUsmBuffer, 3));
  // The file is written in batches, but a pause in the stream finds it whole.
  for (int i = 0; i < 500 && ReadWhole(m_strRxFile).size() < 1500; ++i)
    Sleep(2);
  EXPECT_EQ(ReadWhole(m_strRxFile), data);
  // And bytes fed while a read is pending.
  Sleep(20);
  m_link.Feed(COMM_CHANNEL_RX, data);
  ASSERT_TRUE(WaitForRing(g_RxDataBuffer, 3000));
  g_TransferEngine.StopReaders();
  EXPECT_EQ(Take(g_RxDataBuffer, 1500), data);
  EXPECT_EQ(Take(g_RxDataBuffer, 1500), data);
  EXPECT_EQ(Take(g_RxUsmBuffer, 3), usm);
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
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  m_link.Feed(COMM_CHANNEL_RX, {1, 2, 3});
  m_link.Feed(COMM_CHANNEL_RX_USM, {4, 5});
  for (int i = 0; i < 200 && (m_link.ReadCalls(COMM_CHANNEL_RX) < 2 ||
                              m_link.ReadCalls(COMM_CHANNEL_RX_USM) < 2);
       ++i) {
    Sleep(5);
  }
  g_TransferEngine.StopReaders();
  EXPECT_GE(m_link.ReadCalls(COMM_CHANNEL_RX), 2);  // the reads completed
  EXPECT_EQ(g_RxDataBuffer.GetCount(), 0u);
  EXPECT_EQ(g_RxUsmBuffer.GetCount(), 0u);
  EXPECT_TRUE(ReadWhole(m_strRxFile).empty());
}

TEST_F(ReaderThreadsTest, LineStatusFirstReportThenOneAtEachReadTimeout) {
  m_link.SetStatus(1, 0x5A);
  g_TransferEngine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 1);
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  EXPECT_TRUE(g_TransferEngine.m_pReadUsmThread == nullptr);  // no USM channel asked
  ASSERT_TRUE(m_window.WaitForCount(WM_LINE_STATUS, 3, 5000));
  g_TransferEngine.StopReaders();
  auto status = m_window.Filter(WM_LINE_STATUS);
  EXPECT_EQ(status[0].wParam, 0x5Au);
  EXPECT_EQ(status[0].lParam, 1);
  EXPECT_EQ(status[1].lParam, 0);

  // Without status checking nothing is reported.
  m_window.Clear();
  g_TransferEngine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 0);
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  Sleep(100);  // several read time-outs of 20 ms
  g_TransferEngine.StopReaders();
  EXPECT_EQ(m_window.Count(WM_LINE_STATUS), 0u);
}

TEST_F(ReaderThreadsTest, StopWithoutReadersIsImmediateAndSlotsRestart) {
  g_TransferEngine.StopReaders();
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  CThread* first = g_TransferEngine.m_pReadThread.get();
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);  // running slots are kept
  EXPECT_EQ(g_TransferEngine.m_pReadThread.get(), first);
  g_TransferEngine.StopReaders();
  EXPECT_TRUE(g_TransferEngine.m_pReadThread == nullptr);
  EXPECT_TRUE(g_TransferEngine.m_pReadUsmThread == nullptr);
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  m_link.Feed(COMM_CHANNEL_RX, {7});
  EXPECT_TRUE(WaitForRing(g_RxDataBuffer, 1));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ReaderThreadsTest, BreakDownEndsTheReadersWhoseSlotsWaitForStopReaders) {
  StartLog();
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  Sleep(30);  // both reads pending
  Comm_BreakDownCommPort();
  ASSERT_EQ(g_TransferEngine.m_pReadThread->Wait(5000), WAIT_OBJECT_0);
  ASSERT_EQ(g_TransferEngine.m_pReadUsmThread->Wait(5000), WAIT_OBJECT_0);
  EXPECT_TRUE(g_TransferEngine.m_pReadThread != nullptr);  // until StopReaders
  g_TransferEngine.StopReaders();                          // finds both stopped events set
  EXPECT_TRUE(Boxes().empty());
  std::string log = StopLog();
  EXPECT_NE(log.find("Error Transfer - Data read GetOverlappedResult in ThreadRead"),
            std::string::npos);
  EXPECT_NE(log.find("Error Transfer - Read USM aborted USM"), std::string::npos);
}

TEST_F(ReaderThreadsTest, AReaderThatDoesNotStopKeepsItsSlotAndNoSecondOneStarts) {
  g_TransferEngine.m_dwStopReadersTimeoutMs = 30;
  g_TransferEngine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 0);  // the data reader only
  m_link.BlockReads(true);  // the data reader hangs inside the library
  ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  ASSERT_TRUE(m_link.WaitForBlockedRead(COMM_CHANNEL_RX, 5000));
  for (int round = 0; round < 10; ++round) {
    g_TransferEngine.StopReaders();
    EXPECT_TRUE(g_TransferEngine.m_pReadThread != nullptr) << round;
    ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
  }
  Sleep(20);  // a second reader would be inside the library by now
  EXPECT_EQ(m_link.MaxReadsAtOnce(COMM_CHANNEL_RX), 1);
  EXPECT_EQ(m_link.ReadCalls(COMM_CHANNEL_RX), 1);
  EXPECT_EQ(Boxes().size(), 20u);  // "reader did not stop" and "readers did not stop" each time
  m_link.BlockReads(false);        // the call fails, the reader ends on the error
  g_TransferEngine.m_dwStopReadersTimeoutMs = CTransferEngine::kStopReadersTimeoutMs;
  g_TransferEngine.StopReaders();
  EXPECT_TRUE(g_TransferEngine.m_pReadThread == nullptr);
  EXPECT_EQ(Boxes().size(), 20u);
}

}  // namespace
