// The firmware download end to end against the virtual printer, over
// loopback TCP and over a pseudo-terminal: the image it stores, the CRC it
// reports, and every failure it can be told to commit.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "PrinterSim.h"
#include "comm/Cablox.h"
#include "engine/TransferGlobals.h"
#include "firmware/FlashDownload.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "testsupport/EngineTestSupport.h"

namespace {

enum Transport { kTcp, kPty };

std::string TransportName(const ::testing::TestParamInfo<Transport>& p) {
  return p.param == kTcp ? "Tcp" : "Pty";
}
using Strings = std::vector<std::string>;
const Strings kAllGreen = {"0:2", "1:2", "2:2", "3:2", "4:2"};

class FlashEndToEndTest : public CEngineTest, public ::testing::WithParamInterface<Transport> {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    FlashTimings t;
    t.dwLeaveMs = 20;
    t.dwSettleMs = 20;
    t.dwErasePolls = 400;
    t.dwReplyPolls = 400;
    CFlashDownload::SetTimings(t);
  }
  void TearDown() override {
    m_pFlash.reset();
    CFlashDownload::SetTimings(FlashTimings());
    CEngineTest::TearDown();
    if (m_pSim)
      m_pSim->Stop();
  }
  void StartPrinter(const std::vector<std::string>& faults, BYTE sizeCode = 0xFF,
                    DWORD eraseMs = 0) {
    SIM_OPTIONS o;
    o.flash.bySizeCode = sizeCode;
    o.flash.dwEraseMs = eraseMs;
    if (GetParam() == kTcp) {
      o.nMainPort = o.nRtPort = o.nUsmPort = 0;
    } else {
      o.bTcp = false;
      o.strPtyLink = m_strHome + "/printer.pty";
    }
    std::string error;
    for (const std::string& f : faults) {
      ASSERT_TRUE(o.faults.Add(f, error)) << error;
    }
    m_pSim = std::make_unique<CPrinterSim>(o);
    ASSERT_TRUE(m_pSim->Start(error)) << error;
    int type = GetParam() == kTcp ? COMM_TYPE_TCPIP : COMM_TYPE_SERIAL;
    ASSERT_NE(Comm_OpenSetup(&m_window, type), 0);
    m_bConnected = true;
    m_nType = type;
    if (type == COMM_TYPE_TCPIP) {
      DWORD address = 0x7F000001;
      int mainPort = m_pSim->GetMainPort(), usm = 0, rt = 0, sel = 0, done = 0;
      ASSERT_NE(Comm_UpdateConnection(0, address, nullptr, mainPort, usm, rt, sel, done), 0);
    } else {
      DWORD port = 0;
      std::string path = m_pSim->GetPtyPath();
      std::vector<char> name(path.begin(), path.end());
      name.push_back('\0');
      int baud = 0, parity = 0, handshake = 0, dataBits = 3, stopBits = 0;
      ASSERT_NE(
          Comm_UpdateConnection(0, port, name.data(), baud, parity, handshake, dataBits, stopBits),
          0);
    }
    g_TransferEngine.SetConnectionParams(type, 0, 0, 0, 0, 0);
    ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
    m_pFlash = std::make_unique<CFlashDownload>(&m_window, [](int) { return 1; });
  }
  std::vector<BYTE> Download(size_t size) {
    std::string path = MakeFile("image.BIN", size, 5);
    EXPECT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
    g_RxDataBuffer.Reset();
    ResetEvent(g_hAbortEvent);
    m_pFlash->Start();
    ExpectOneDone(60000);
    return ReadWhole(path);
  }
  Strings Leds() const {
    Strings out;
    for (const auto& m : m_window.Filter(WM_FLASH_STEP)) {
      out.push_back(std::to_string(m.wParam) + ":" + std::to_string(m.lParam));
    }
    return out;
  }
  // The printer saw the closing 1D FF: it left download mode.
  void ExpectLeftDownloadMode() {
    EXPECT_TRUE(m_pSim->WaitFor([](const SIM_COUNTERS& c) { return !c.bDownloadMode; }, 5000));
    EXPECT_FALSE(g_TransferFile.IsOpen());
  }

  std::unique_ptr<CPrinterSim> m_pSim;
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
  auto crc = m_window.Filter(WM_FLASH_CRC);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].wParam, m_pSim->GetCounters().wFlashCrc);
  EXPECT_EQ(m_pSim->GetCounters().dwFlashBlocks, 4u);
  EXPECT_EQ(m_window.Filter(WM_TRANSFER_PROGRESS).back().wParam, 100u);
  EXPECT_TRUE(Boxes().empty());
  TransferOutcome outcome = g_TransferEngine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_COMPLETED);
  EXPECT_EQ(outcome.qwBytesDelivered, image.size());
}

// An abort while a data frame is still being written: the frame must not be
// cut, or the printer reads the closing 1D FF as the rest of its data and
// stays in download mode.
TEST_P(FlashEndToEndTest, AbortInTheMiddleOfADataFrameStillLeavesDownloadMode) {
  StartPrinter({});
  std::string path = MakeFile("image.bin", 16 * 65536, 5);
  ASSERT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
  g_RxDataBuffer.Reset();
  ResetEvent(g_hAbortEvent);
  m_pFlash->Start();
  ASSERT_TRUE(m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.dwDataFrames >= 2; }, 20000));
  CSimFaults faults = m_pSim->GetFaults();
  faults.m_dwThrottle = 2000;  // the printer nearly stops reading: a frame's write waits
  m_pSim->SetFaults(faults);
  Sleep(300);
  SetEvent(g_hAbortEvent);
  Sleep(300);
  faults.m_dwThrottle = 0;
  m_pSim->SetFaults(faults);
  ExpectOneDone(20000);
  ExpectLeftDownloadMode();
  TransferOutcome outcome = g_TransferEngine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_ABORTED);
  EXPECT_LT(outcome.qwBytesDelivered, 16u * 65536u);
}

struct FaultCase {
  std::vector<std::string> faults;
  Strings boxes;
  Strings leds;
};

TEST_P(FlashEndToEndTest, EveryFailureShowsItsBoxAndStillLeavesDownloadMode) {
  const FaultCase cases[] = {
      {{"nak-erase"}, {"error 18"}, {"0:2", "1:2", "2:1"}},
      {{"nak-data=3"}, {"error 19"}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"nak-crc"}, {"error 20"}, {"0:2", "1:2", "2:2", "3:2", "4:1"}},
      {{"nak-block=1"}, {"error 21"}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"silent=size"}, {"error 46"}, {"0:2", "1:1"}},
      {{"silent=erase"}, {"error 8"}, {"0:2", "1:2", "2:1"}},
      {{"silent=block:1"}, {"error 10"}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"silent=data:2"}, {"error 12"}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"silent=crc"}, {"error 14"}, {"0:2", "1:2", "2:2", "3:2", "4:1"}},
      {{"silent=readcrc"}, {"error 16"}, kAllGreen},
      {{"short-readcrc"}, {"error 16"}, kAllGreen},
      {{"garbage=erase"}, {"error 9"}, {"0:2", "1:2", "2:1"}},
      {{"garbage=block"}, {"error 11"}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"garbage=data"}, {"error 13"}, {"0:2", "1:2", "2:2", "3:1"}},
      {{"garbage=crc"}, {"error 15"}, {"0:2", "1:2", "2:2", "3:2", "4:1"}},
      {{"xonxoff"}, {}, kAllGreen},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.faults[0]);
    m_window.Clear();
    m_notifier.Clear();
    if (m_pSim) {
      m_pFlash.reset();
      g_TransferEngine.StopReaders();
      Comm_CloseCleanuo();
      m_pSim->Stop();
    }
    StartPrinter(c.faults);
    Download(2 * 65536);
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(Leds(), c.leds);
    EXPECT_EQ(m_window.Count(WM_FLASH_CRC), c.leds == kAllGreen && c.boxes.empty() ? 1u : 0u);
    ExpectLeftDownloadMode();
  }
}

TEST_P(FlashEndToEndTest, ImageLargerThanTheFlashIsRefused) {
  StartPrinter({}, 0);  // 64 KiB of flash
  Download(66560);
  EXPECT_EQ(Boxes(), Strings{"error 17"});
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:1"}));
  ExpectLeftDownloadMode();
}

TEST_P(FlashEndToEndTest, AbortDuringTheEraseEndsWithinAPoll) {
  FlashTimings t = CFlashDownload::GetTimings();
  t.dwErasePolls = 20000;
  t.dwLeaveMs = 1000;
  CFlashDownload::SetTimings(t);
  StartPrinter({}, 0xFF, 30000);  // a slow erase
  std::string path = MakeFile("image.bin", 65536, 5);
  ASSERT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
  ResetEvent(g_hAbortEvent);
  m_pFlash->Start();
  ASSERT_TRUE(m_window.WaitForCount(WM_ENABLE_CONTROL, 3, 10000));  // erasing now
  Sleep(100);
  auto abortTime = std::chrono::steady_clock::now();
  SetEvent(g_hAbortEvent);
  ExpectOneDone(5000);
  auto took = std::chrono::steady_clock::now() - abortTime;
  EXPECT_GE(took, std::chrono::milliseconds(1000));  // the pause before 1D FF
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:1"}));
  EXPECT_TRUE(Boxes().empty());
  ExpectLeftDownloadMode();
}

INSTANTIATE_TEST_SUITE_P(Transports, FlashEndToEndTest, ::testing::Values(kTcp, kPty),
                         TransportName);

}  // namespace
