// The packet writer and the two transmit jobs against the fake backend:
// what reaches the wire, the messages the window sees, the log lines.
#include "engine/TransferEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "comm/Cablox.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "testsupport/EngineTestSupport.h"

namespace {

class TransferEngineTest : public CEngineTest {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    m_link.sizes = {1000, 7, 4096};
    Connect(COMM_TYPE_SERIAL);
  }
  // Opens m_io.transferFile on a new file and starts a file job; returns the
  // file's path.
  std::string StartFile(size_t size, int repeat, int count, int delayMs) {
    std::string path = MakeFile("send.bin", size);
    EXPECT_EQ(m_io.transferFile.Open(path, CMyFile::kModeRead, 0), 1);
    m_engine.SetRepeatParams(repeat, count, delayMs);
    EXPECT_EQ(m_engine.StartTransmitThreads(), 1);
    m_io.fileJob.Set();
    return path;
  }
  // Runs one file job to its end; returns the file.
  std::vector<BYTE> SendFile(size_t size, int repeat, int count, int delayMs) {
    std::string path = StartFile(size, repeat, count, delayMs);
    ExpectOneDone();
    return ReadWhole(path);
  }
  std::vector<RecordedEvent> Progress() const { return m_events.Filter(EventKind::kProgress); }
};

TEST_F(TransferEngineTest, WriterReturnsCountsAndLogsEachFailure) {
  StartLog();
  const BYTE data[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(m_engine.WriterGeneric(data, 5), 5);

  m_link.FailWrites(ERROR_ACCESS_DENIED);
  EXPECT_EQ(m_engine.WriterGeneric(data, 5), -1);
  m_link.FailWrites(0);

  // A pending write that completes short: the short count, no resend.
  m_link.HoldWrites(true);
  auto completer = CThread::Create(
      [&]() -> DWORD {
        m_link.WaitForHeldWrite(5000);
        m_link.CompleteHeldWrite(3, ERROR_SUCCESS);
        m_link.WaitForHeldWrite(5000);
        m_link.CompleteHeldWrite(2, ERROR_WRITE_FAULT);
        m_link.WaitForHeldWrite(5000);
        m_link.CompleteHeldWrite(5, ERROR_SUCCESS);
        return 0;
      },
      THREAD_PRIORITY_NORMAL, "completer");
  EXPECT_EQ(m_engine.WriterGeneric(data, 5), 3);
  EXPECT_EQ(m_engine.WriterGeneric(data, 5), 2);
  EXPECT_EQ(m_engine.WriterGeneric(data, 5), 5);
  ASSERT_EQ(completer->Wait(5000), WAIT_OBJECT_0);

  std::string log = StopLog();
  for (const char* line :
       {"System Error 0x5 - Description : ", "Error Transfer - Write failed but is not delayed",
        "Error Transfer - Write timed out (overlapped)",
        "Error Transfer - GetOverlappedResult in Writer",
        "Error Transfer - writing data to port (overlapped)"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  // The system error comes before the line it explains.
  EXPECT_LT(log.find("System Error 0x5"), log.find("Write failed but is not delayed"));
}

TEST_F(TransferEngineTest, AbortLeavesThePendingWriteWithItsOwnCopyOfTheBytes) {
  StartLog();
  m_link.HoldWrites(true);
  const std::vector<BYTE> expected = TestPattern(300);
  {
    auto bytes = std::make_unique<std::vector<BYTE>>(expected);
    auto aborter = CThread::Create(
        [&]() -> DWORD {
          m_link.WaitForHeldWrite(5000);
          SetEvent(m_io.AbortEvent());
          return 0;
        },
        THREAD_PRIORITY_NORMAL, "aborter");
    EXPECT_EQ(m_engine.WriterGeneric(bytes->data(), 300), -1);
    ASSERT_EQ(aborter->Wait(5000), WAIT_OBJECT_0);
  }  // the caller's buffer is gone; the library still sends from its copy
  ASSERT_TRUE(m_link.CompleteHeldWrite(300, ERROR_SUCCESS));
  EXPECT_EQ(m_link.HeldSent(), expected);
  EXPECT_NE(StopLog().find("Error Transfer - Write aborted by user"), std::string::npos);
}

TEST_F(TransferEngineTest, WritePacketSplitsGoesOnAfterFailuresAndLogsShortDumps) {
  StartLog();
  const std::vector<BYTE> data = TestPattern(255);
  EXPECT_EQ(m_engine.WritePacket(data.data(), 255, 100, 1), 255);
  auto writes = m_link.Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].size(), 100u);
  EXPECT_EQ(writes[2].size(), 55u);
  EXPECT_EQ(m_link.Written(), data);

  std::vector<BYTE> big(256, 0x41);
  EXPECT_EQ(m_engine.WritePacket(big.data(), 256, 0, 1), 256);  // chunk 0: whole
  m_link.FailWrites(ERROR_WRITE_FAULT);
  EXPECT_EQ(m_engine.WritePacket(data.data(), 30, 10, 0), 30);  // failures not seen
  m_link.FailWrites(0);
  EXPECT_EQ(m_link.WriteCount(), 4u);

  std::string log = StopLog();
  EXPECT_NE(log.find("String Transfer. Size = 255 bytes\n"), std::string::npos);
  EXPECT_NE(log.find("String Transfer. Size = 256 bytes\n"), std::string::npos);
  EXPECT_EQ(log.find("String Transfer. Size = 30 bytes"), std::string::npos);  // flag 0
  auto dumps = ParseLogDumps(log);
  ASSERT_EQ(dumps.size(), 1u);  // 255 bytes with their dump, 256 without
  EXPECT_EQ(dumps[0], data);
}

TEST_F(TransferEngineTest, OnePassSendsTheFileWithProgressRateAndLines) {
  StartLog();
  std::vector<BYTE> file = SendFile(123456, 0, 5, 0);  // repeat off: one pass
  EXPECT_EQ(m_link.Written(), file);
  EXPECT_EQ(m_link.Writes().front().size(), 1000u);  // comm packet size
  auto progress = Progress();
  ASSERT_FALSE(progress.empty());
  EXPECT_LE(progress.size(), 100u);
  EXPECT_EQ(progress.back().value, 100u);
  for (size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].detail, -1);
    if (i > 0) {
      EXPECT_GT(progress[i].value, progress[i - 1].value);
    }
  }
  auto rates = m_events.Filter(EventKind::kRate);
  EXPECT_EQ(rates.size(), progress.size());
  // The engine's rate in hundredths; none (below 0) while no time has passed.
  const double rate =
      static_cast<double>(std::llround(m_engine.m_dTransferRate.load() * 100.0)) / 100.0;
  EXPECT_EQ(rates.back().rate < 0 ? 0.0 : rates.back().rate, rate);
  EXPECT_EQ(m_events.Snapshot().back().kind, EventKind::kDone);
  EXPECT_FALSE(m_io.transferFile.IsOpen());

  std::string log = StopLog();
  EXPECT_NE(log.find(", Size = 123456 bytes, Nb Repeats = 1/1, Delay = 0 ms\n"), std::string::npos);
  EXPECT_NE(log.find("File Transfer complete. Average Transfer Rate"), std::string::npos);
}

TEST_F(TransferEngineTest, RepeatSendsNPassesEachFollowedByTheDelay) {
  StartLog();
  LONGLONG f = 0, t0 = 0, t1 = 0;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  std::vector<BYTE> file = SendFile(5000, 1, 3, 40);
  QueryPerformanceCounter(&t1);
  EXPECT_GE((t1 - t0) * 1000 / f, 120);  // three delays, the last one too
  std::vector<BYTE> expected;
  for (int i = 0; i < 3; ++i)
    expected.insert(expected.end(), file.begin(), file.end());
  EXPECT_EQ(m_link.Written(), expected);
  auto progress = Progress();
  EXPECT_EQ(progress.front().detail, 1);
  EXPECT_EQ(progress.back().detail, 3);
  EXPECT_EQ(std::count_if(progress.begin(), progress.end(),
                          [](const RecordedEvent& m) { return m.value == 100; }),
            3);
  std::string log = StopLog();
  EXPECT_NE(log.find("Nb Repeats = 3/3, Delay = 40 ms"), std::string::npos);
  EXPECT_EQ(log.find("Nb Repeats = 4/3"), std::string::npos);
}

TEST_F(TransferEngineTest, ContinuousModeRunsUntilAbortAndAbortCutsTheDelay) {
  StartLog();
  std::string path = StartFile(3000, 1, -1, 60000);                   // a minute between passes
  ASSERT_TRUE(m_events.WaitForCount(EventKind::kProgress, 3, 5000));  // in the delay now
  Sleep(20);
  SetEvent(m_io.AbortEvent());
  ExpectOneDone(2000);
  EXPECT_EQ(m_link.Written().size(), 3000u);
  std::string log = StopLog();
  EXPECT_NE(log.find("Nb Repeats = 1/-1"), std::string::npos);
  EXPECT_EQ(log.find("Nb Repeats = 2/-1"), std::string::npos);

  // Without a delay the passes follow one another until the abort.
  m_events.Clear();
  ResetEvent(m_io.AbortEvent());
  ASSERT_EQ(m_io.transferFile.Open(path, CMyFile::kModeRead, 0), 1);
  m_engine.SetRepeatParams(1, -1, 0);
  m_io.fileJob.Set();
  ASSERT_TRUE(m_link.WaitForWritten(3000 * 5, 5000));
  SetEvent(m_io.AbortEvent());
  ExpectOneDone();
  EXPECT_EQ(m_link.Written().size() % 1000, 0u);  // whole packets only
}

TEST_F(TransferEngineTest, AbortAtAPacketBoundaryEndsThePassWithoutItsCompletionLine) {
  StartLog();
  m_link.HoldWrites(true);
  StartFile(10000, 0, 1, 0);
  ASSERT_TRUE(m_link.WaitForHeldWrite(5000));
  m_link.CompleteHeldWrite(1000, ERROR_SUCCESS);
  ASSERT_TRUE(m_link.WaitForWritten(2000, 5000));  // the second packet is pending
  SetEvent(m_io.AbortEvent());
  ExpectOneDone();
  EXPECT_EQ(m_link.WriteCount(), 2u);  // nothing after the abort
  std::string log = StopLog();
  EXPECT_NE(log.find("Error Transfer - Write aborted by user"), std::string::npos);
  EXPECT_EQ(log.find("File Transfer complete"), std::string::npos);
}

TEST_F(TransferEngineTest, UsbRepeatRefreshesTheConnectionAndRestartsTheReaders) {
  m_engine.SetConnectionParams(COMM_TYPE_USB, 0, 0, 0, 0, 0);
  int before = m_link.UpdateConnectionCalls();
  SendFile(100, 1, 2, 0);
  EXPECT_EQ(m_link.UpdateConnectionCalls(), before + 2);
  EXPECT_TRUE(m_engine.m_pReadThread != nullptr);
}

TEST_F(TransferEngineTest, StringJobSendsTheBufferInStringPacketsAndEndsAbortedOnAbort) {
  StartLog();
  ASSERT_EQ(m_engine.StartTransmitThreads(), 1);
  const char text[] = "Hello, printer\r\n";
  std::copy(text, text + 16, m_engine.m_StringBuffer);
  m_engine.m_nStringLength = 16;
  m_io.stringJob.Set();
  ExpectOneDone();
  EXPECT_EQ(m_link.Written(), std::vector<BYTE>(text, text + 16));
  EXPECT_EQ(m_link.Writes().front().size(), 7u);  // string packet size
  EXPECT_EQ(m_engine.GetLastOutcome().nResult, TRANSFER_COMPLETED);

  // The printer takes nothing and the operator aborts: the job ends aborted,
  // so a batch run exits with 3.
  m_events.Clear();
  m_link.HoldWrites(true);
  m_io.stringJob.Set();
  ASSERT_TRUE(m_link.WaitForHeldWrite(5000));
  SetEvent(m_io.AbortEvent());
  ExpectOneDone();
  EXPECT_EQ(m_engine.GetLastOutcome().nResult, TRANSFER_ABORTED);
  std::string log = StopLog();
  EXPECT_NE(log.find("String Transfer. Size = 16 bytes"), std::string::npos);
}

// A framed data string of 255 bytes fits the string buffer.
static_assert(CTransferEngine::kStringBufferSize >= 2u * 255u + 3u);

// Stopped threads start again, and a file shorter than a packet is one write
// and one progress of 100.
TEST_F(TransferEngineTest, ThreadsStartAgainAndAShortFileIsOneWrite) {
  ASSERT_EQ(m_engine.StartTransmitThreads(), 1);
  EXPECT_EQ(m_engine.StopTransmitThreads(5000), 1);
  ResetEvent(m_io.AbortEvent());
  std::vector<BYTE> file = SendFile(17, 0, 1, 0);
  EXPECT_EQ(m_link.WriteCount(), 1u);
  EXPECT_EQ(m_link.Written(), file);
  auto progress = Progress();
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].value, 100u);
}

// The process ends (static objects destroyed) while a file job waits on a
// write the printer never completes. The engine must end its threads before
// the events they wait on go; under TSan a use of a destroyed event fails
// the child's exit status.
TEST_F(TransferEngineTest, ProcessExitsCleanlyWhileATransferIsBlocked) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        m_link.HoldWrites(true);
        StartFile(100000, 0, 1, 0);
        if (!m_link.WaitForHeldWrite(5000))
          std::_Exit(2);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
