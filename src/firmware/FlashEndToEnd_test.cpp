// The firmware download end to end against the virtual printer, over
// loopback TCP and over a pseudo-terminal: the image it stores, the CRC it
// reports, and every failure it can be told to commit.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "testsupport/SimTestSupport.h"

namespace {

using Strings = std::vector<std::string>;
const Strings kAllGreen = {"0:2", "1:2", "2:2", "3:2", "4:2"};

class FlashEndToEndTest : public CSimTest, public ::testing::WithParamInterface<SimTransport> {
 protected:
  void TearDown() override {
    m_pFlash.reset();
    CSimTest::TearDown();
  }
  void StartPrinter(const std::vector<std::string>& faults) {
    SIM_OPTIONS o;
    o.flash.dwEraseMs = 0;
    StartSim(GetParam(), faults, o);
    ConnectSim(GetParam(), false, 0);
    ASSERT_EQ(m_engine.StartReaders(), 1);
    m_pFlash = std::make_unique<CFlashDownload>(m_engine, &m_events, [](int) { return 1; });
  }
  std::string Begin(size_t size) {
    std::string path = MakeFile("image.BIN", size, 5);
    EXPECT_EQ(m_io.transferFile.Open(path, CMyFile::kModeRead, 0), 1);
    m_io.rxDataBuffer.Reset();
    ResetEvent(m_io.AbortEvent());
    m_pFlash->Start();
    return path;
  }
  std::vector<BYTE> Download(size_t size) {
    std::string path = Begin(size);
    ExpectOneDone(60000);
    return ReadWhole(path);
  }
  // The printer saw the closing 1D FF: it left download mode.
  void ExpectLeftDownloadMode() {
    EXPECT_TRUE(m_pSim->WaitFor([](const SIM_COUNTERS& c) { return !c.bDownloadMode; }, 5000));
    EXPECT_FALSE(m_io.transferFile.IsOpen());
  }

  std::unique_ptr<CFlashDownload> m_pFlash;
};

TEST_P(FlashEndToEndTest, SuccessStoresTheImageAndShowsTheCrc) {
  StartPrinter({});
  std::vector<BYTE> image = Download(3 * 65536 + 2048);
  ExpectLeftDownloadMode();
  std::vector<uint8_t> flash = m_pSim->GetFlashImage();
  ASSERT_GE(flash.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  EXPECT_EQ(Leds(), kAllGreen);
  auto crc = m_events.Filter(EventKind::kFlashCrc);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].value, m_pSim->GetCounters().wFlashCrc);
  EXPECT_EQ(m_pSim->GetCounters().dwFlashBlocks, 4u);
  EXPECT_EQ(m_events.Filter(EventKind::kProgress).back().value, 100u);
  EXPECT_TRUE(Boxes().empty());
  TransferOutcome outcome = m_engine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_COMPLETED);
  EXPECT_EQ(outcome.qwBytesDelivered, image.size());
}

// An abort while a data frame is still being written: the frame must not be
// cut, or the printer reads the closing 1D FF as the rest of its data and
// stays in download mode. The printer reads slowly throughout, so the abort
// lands in the middle of the image, and most likely in a frame's write.
TEST_P(FlashEndToEndTest, AbortInTheMiddleOfADataFrameStillLeavesDownloadMode) {
  FlashTimings t = QuickFlashTimings();
  t.dwReplyPolls = 30000;  // a slow printer is not a silent one
  CFlashDownload::SetTimings(t);
  StartPrinter({"throttle=20000"});
  Begin(16 * 65536);
  ASSERT_TRUE(m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.dwDataFrames >= 2; }, 30000));
  SetEvent(m_io.AbortEvent());
  ExpectOneDone(30000);
  ExpectLeftDownloadMode();
  TransferOutcome outcome = m_engine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_ABORTED);
  EXPECT_LT(outcome.qwBytesDelivered, 16u * 65536u);
}

struct FaultCase {
  std::vector<std::string> faults;
  Strings boxes;
  Strings leds;
};

// Once the erase began, each failure also says what the operator must do.
TEST_P(FlashEndToEndTest, EveryFailureShowsItsBoxAndStillLeavesDownloadMode) {
  const std::string a = std::string("\n") + CFlashDownload::PartlyWrittenAdvice();
  const FaultCase cases[] = {
      {{"nak-erase"}, {"error 18"}, {"0:2", "1:2", "2:1"}},
      {{"nak-data=3"}, {"error 19" + a}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"nak-crc"}, {"error 20" + a}, {"0:2", "1:2", "2:2", "3:2", "4:1"}},
      {{"nak-block=1"}, {"error 21" + a}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"silent=size"}, {"error 46"}, {"0:2", "1:1"}},
      {{"silent=erase"}, {"error 8" + a}, {"0:2", "1:2", "2:1"}},
      {{"silent=block:1"}, {"error 10" + a}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"silent=data:2"}, {"error 12" + a}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"silent=crc"}, {"error 14" + a}, {"0:2", "1:2", "2:2", "3:2", "4:1"}},
      {{"silent=readcrc"}, {"error 16"}, kAllGreen},
      {{"short-readcrc"}, {"error 16"}, kAllGreen},
      {{"garbage=erase"}, {"error 9" + a}, {"0:2", "1:2", "2:1"}},
      {{"garbage=block"}, {"error 11" + a}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"garbage=data"}, {"error 13" + a}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"garbage=crc"}, {"error 15" + a}, {"0:2", "1:2", "2:2", "3:2", "4:1"}},
      {{"xonxoff"}, {}, kAllGreen},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.faults[0]);
    // A step the printer leaves unanswered waits out its budget: short ones
    // there, and room for a loaded machine everywhere else.
    const std::string& f = c.faults[0];
    FlashTimings t = QuickFlashTimings();
    if (f == "silent=erase")
      t.dwErasePolls = 800;
    else if (f.rfind("silent=", 0) == 0 || f == "short-readcrc")
      t.dwReplyPolls = 800;
    CFlashDownload::SetTimings(t);
    m_events.Clear();
    m_notifier.Clear();
    if (m_pSim) {
      m_pFlash.reset();
      m_engine.StopReaders();
      Comm_CloseCleanuo();
      m_pSim->Stop();
    }
    StartPrinter(c.faults);
    Download(2 * 65536);
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(Leds(), c.leds);
    EXPECT_EQ(m_events.Count(EventKind::kFlashCrc),
              c.leds == kAllGreen && c.boxes.empty() ? 1u : 0u);
    ExpectLeftDownloadMode();
  }
}

INSTANTIATE_TEST_SUITE_P(Transports, FlashEndToEndTest, ::testing::Values(kTcp, kPty),
                         SimTransportName);

}  // namespace
