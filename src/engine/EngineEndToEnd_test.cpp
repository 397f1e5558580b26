// The engine end to end against the virtual printer, over loopback TCP and
// over a pseudo-terminal, through the real backends.
#include <gtest/gtest.h>

#include <memory>

#include "Sha256.h"
#include "codec/Codec.h"
#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "testsupport/SimTestSupport.h"

namespace {

class EngineEndToEndTest : public CSimTest, public ::testing::WithParamInterface<SimTransport> {
 protected:
  // Starts the printer (print data captured) and connects to it.
  void StartPrinter(bool packet = false, const std::vector<std::string>& faults = {}) {
    SIM_OPTIONS o;
    o.bFirmware = false;  // random file bytes may hold the switch frame
    o.bPacket = packet;
    o.strCapture = m_strHome + "/capture.bin";
    StartSim(GetParam(), faults, o);
    ConnectSim(GetParam(), true, GetParam() == kPty);
    ASSERT_EQ(m_engine.StartTransmitThreads(), 1);
  }
  // Waits for the printer to have `bytes` of print data, then stops it and
  // returns what it captured.
  std::vector<BYTE> Captured(uint64_t bytes) {
    m_pSim->WaitFor([&](const SIM_COUNTERS& c) { return c.qwPrintBytes >= bytes; }, 20000);
    Sleep(50);  // nothing more may come
    m_pSim->Stop();
    return ReadWhole(m_strHome + "/capture.bin");
  }
  void StartFile(const std::string& path, int pack, int repeat, int count, int delay) {
    ASSERT_EQ(m_io.transferFile.Open(path, CMyFile::kModeRead, pack), 1);
    m_engine.SetRepeatParams(repeat, count, delay);
    ResetEvent(m_io.AbortEvent());
    m_io.fileJob.Set();
  }
  static bool IsPrefixOfRepeats(const std::vector<BYTE>& got, const std::vector<BYTE>& file) {
    for (size_t i = 0; i < got.size(); ++i) {
      if (got[i] != file[i % file.size()])
        return false;
    }
    return true;
  }
};

// A data string, then a file, on one connection.
TEST_P(EngineEndToEndTest, StringAndFileArriveByteExactWithTheirMessages) {
  StartPrinter();
  BYTE bytes[kCodecBufferSize];
  int n = EscapedTextToBytes("Sendrix \\x1B@ test\\r\\n", bytes);
  ASSERT_GT(n, 0);
  std::copy(bytes, bytes + n, m_engine.m_StringBuffer);
  m_engine.m_nStringLength = static_cast<DWORD>(n);
  ResetEvent(m_io.AbortEvent());
  m_io.stringJob.Set();
  ExpectOneDone();
  m_events.Clear();
  std::string path = MakeFile("file.bin", 300001);
  StartFile(path, 0, 0, 1, 0);
  ExpectOneDone(20000);
  TransferOutcome outcome = m_engine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_COMPLETED);
  EXPECT_EQ(outcome.qwBytesDelivered, 300001u);
  EXPECT_EQ(outcome.dwFailedPieces, 0u);
  std::vector<BYTE> expected(bytes, bytes + n), file = ReadWhole(path);
  expected.insert(expected.end(), file.begin(), file.end());
  EXPECT_EQ(Captured(expected.size()), expected);
  auto progress = m_events.Filter(EventKind::kProgress);
  EXPECT_LE(progress.size(), 100u);
  EXPECT_EQ(progress.back().value, 100u);
  EXPECT_EQ(progress.back().detail, -1);
  EXPECT_EQ(m_events.Snapshot().back().kind, EventKind::kDone);
}

TEST_P(EngineEndToEndTest, PacketModeSendsThePackedCopy) {
  StartPrinter(true);
  std::string path = MakeFile("packet.bin", 10 * 1024 + 5);
  StartFile(path, 1, 0, 1, 0);
  ExpectOneDone(20000);
  std::vector<BYTE> file = ReadWhole(path);
  EXPECT_EQ(Captured(file.size()), file);  // the printer unframes it
  SIM_COUNTERS c = m_pSim->GetCounters();
  EXPECT_EQ(c.qwFramesOk, 11u);
  EXPECT_EQ(c.qwFramesBad, 0u);
}

// The printer goes away (connection closed, pseudo-terminal gone) in the
// middle of a continuous run: every further write fails at once. The job
// must end by itself, soon, as failed, with a bounded log; the passes before
// arrived one after the other, whole.
TEST_P(EngineEndToEndTest, PrinterThatDisappearsEndsAContinuousRunAsFailed) {
  StartLog();
  StartPrinter();
  std::string path = MakeFile("gone.bin", 40000);
  StartFile(path, 0, 1, -1, 0);
  ASSERT_TRUE(
      m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.qwPrintBytes >= 100000; }, 20000));
  m_pSim->Stop();
  ASSERT_TRUE(m_events.WaitForCount(EventKind::kDone, 1, 1000)) << "the job spins on a dead port";
  EXPECT_TRUE(IsPrefixOfRepeats(ReadWhole(m_strHome + "/capture.bin"), ReadWhole(path)));
  TransferOutcome outcome = m_engine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_FAILED);
  EXPECT_TRUE(outcome.bStopped);
  EXPECT_GE(outcome.qwBytesDelivered, 100000u);
  EXPECT_GT(outcome.dwFailedPieces, 0u);
  std::string log = StopLog();
  EXPECT_NE(log.find("Error Transfer - Port lost, transfer stopped"), std::string::npos);
  // Passes before the printer went may be many; the failures are few.
  size_t failures = 0;
  for (const char* kind : {"Error Transfer - ", "System Error "}) {
    for (size_t pos = 0; (pos = log.find(kind, pos)) != std::string::npos; ++pos)
      ++failures;
  }
  EXPECT_LT(failures, 50u);
}

TEST_P(EngineEndToEndTest, AbortAtAPacketBoundaryLeavesAPrefix) {
  StartLog();
  StartPrinter(false, {"throttle=200000"});  // 200 kB/s: the file takes seconds
  // Larger than what loopback socket buffers can hold.
  std::string path = MakeFile("slow.bin", 24000000);
  StartFile(path, 0, 0, 1, 0);
  ASSERT_TRUE(
      m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.qwPrintBytes >= 100000; }, 20000));
  SetEvent(m_io.AbortEvent());
  ExpectOneDone(20000);
  std::vector<BYTE> file = ReadWhole(path);
  std::vector<BYTE> got = Captured(100000);
  EXPECT_LT(got.size(), file.size());
  EXPECT_TRUE(IsPrefixOfRepeats(got, file));
  EXPECT_EQ(StopLog().find("File Transfer complete"), std::string::npos);
}

// A batch run breaks the connection down right after the job's end, when
// a slow printer has not yet taken what the kernel still holds for it, and
// with a reply of the printer unread (a TCP close would reset then).
TEST_P(EngineEndToEndTest, BreakDownRightAfterDoneLetsASlowPrinterGetEveryByte) {
  const bool tcp = GetParam() == kTcp;
  const uint64_t size = tcp ? 16u << 20 : 64u << 10;
  // Each transfer takes two to four seconds at these paces.
  StartPrinter(false, {tcp ? "throttle=8000000" : "throttle=16384"});
  m_pSim->Send(std::vector<BYTE>(64, 0x12));
  std::string path = MakeFile("slow.bin", size);
  StartFile(path, 0, 0, 1, 0);
  ASSERT_TRUE(m_events.WaitForCount(EventKind::kDone, 1, 30000));
  Comm_BreakDownCommPort();
  EXPECT_TRUE(
      m_pSim->WaitFor([&](const SIM_COUNTERS& c) { return c.qwPrintBytes >= size; }, 15000));
  m_pSim->Stop();
  std::vector<BYTE> file = ReadWhole(path);
  CSha256 sha;
  sha.Update(file.data(), file.size());
  EXPECT_EQ(m_pSim->GetSha256(), sha.HexDigest());
  EXPECT_EQ(m_pSim->GetCounters().qwPrintBytes, size);
}

TEST_P(EngineEndToEndTest, ReceivedBytesReachTheirBuffersAndTheFile) {
  StartPrinter();
  std::string rx = m_strHome + "/Output/RxData.bin";
  ASSERT_EQ(m_io.rxDataFile.Open(rx, CMyFile::kModeWrite, 0), 1);
  m_io.rxUsmFeed.SetEnabled(true);
  ASSERT_EQ(m_engine.StartReaders(), 1);
  const std::vector<BYTE> data = TestPattern(3000);
  m_pSim->Send(data);
  ASSERT_EQ(m_io.rxDataBuffer.WaitForCount(3000, 10000, nullptr), 1);
  std::vector<BYTE> ring;
  for (int i = 0; i < 3000; ++i)
    ring.push_back(m_io.rxDataBuffer.Get());
  EXPECT_EQ(ring, data);
  if (GetParam() == kTcp) {
    ASSERT_TRUE(m_engine.m_pReadUsmThread != nullptr);
    const std::vector<BYTE> usm = {0x14, 0x01, 0x02, 0x0F};
    m_pSim->SendUsm(usm);
    ASSERT_TRUE(WaitForFeed(m_io.rxUsmFeed, 4, 10000));
    std::vector<BYTE> got = TakeAll(m_io.rxUsmFeed);
    EXPECT_EQ(got, usm);
  }
  m_engine.StopReaders();
  EXPECT_EQ(ReadWhole(rx), data);  // only the data channel's bytes
  EXPECT_TRUE(Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, EngineEndToEndTest, ::testing::Values(kTcp, kPty),
                         SimTransportName);

}  // namespace
