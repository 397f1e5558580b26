// The firmware download against a scripted printer on the fake backend:
// the success path frame by frame and in the window's messages, odd packet
// sizes, flow-control bytes, the USB and serial answers to the switch frame,
// and abort.
#include "firmware/FlashDownload.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>

#include "comm/Cablox.h"
#include "engine/TransferGlobals.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "testsupport/EngineTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// The printer's side of the protocol, answering each frame as it is written.
class CScriptedPrinter {
 public:
  enum Step { kSwitch, kSize, kErase, kHeader, kData, kCheck, kRead, kStepCount };
  struct Fault {
    int after = 0;   // answer normally this many times first
    int reply = -1;  // byte to answer instead; -1: say nothing
  };

  BYTE flashSizeByte = 0xFF;
  BYTE switchReply = 0;  // 0: no answer to the switch frame
  bool xonBeforeReplies = false;
  std::vector<BYTE> crcReply = {0x06, 0x34, 0x12};
  std::map<int, Fault> faults;

  explicit CScriptedPrinter(CFakeCommLink* link) : m_link(link) {}

  void OnWrite(const BYTE* p, DWORD n) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_frames.emplace_back(p, p + n);
    if (m_nDataExpected > 0) {
      m_image.resize(std::max<size_t>(m_image.size(), m_nBase + m_nOffset + n));
      std::copy(p, p + n, m_image.begin() + m_nBase + m_nOffset);
      m_nDataExpected = 0;
      Answer(kData, 0x06);
      return;
    }
    if (n == 3 && p[0] == 0x1B) {
      if (switchReply != 0)
        Answer(kSwitch, switchReply);
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x01) {
      Answer(kSize, flashSizeByte);
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x0E) {
      Answer(kErase, 0x06);
    } else if (n == 3 && p[0] == 0x1D && p[1] == 0x02) {
      m_nBase = static_cast<size_t>(p[2]) * 65536;
      m_blocks.push_back(p[2]);
      Answer(kHeader, 0x06);
    } else if (n == 6 && p[0] == 0x1D && p[1] == 0x11) {
      m_nOffset = p[2] | (p[3] << 8);
      m_nDataExpected = p[4] | (p[5] << 8);
      m_dataHeaders.push_back({m_nOffset, m_nDataExpected});
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x06) {
      Answer(kCheck, 0x06);
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x0F) {
      if (Allowed(kRead))
        Send(crcReply);
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0xFF) {
      m_leaveTime = Clock::now();
    }
  }

  std::vector<std::vector<BYTE>> Frames() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_frames;
  }
  std::vector<BYTE> Image() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_image;
  }
  std::vector<int> Blocks() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_blocks;
  }
  std::vector<std::pair<size_t, size_t>> DataHeaders() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_dataHeaders;
  }
  Clock::time_point LeaveTime() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_leaveTime;
  }

 private:
  // False when a fault replaces the answer (and sends the fault's byte).
  bool Allowed(int step) {
    auto it = faults.find(step);
    if (it == faults.end() || m_counts[step]++ < it->second.after)
      return true;
    if (it->second.reply >= 0)
      Send({static_cast<BYTE>(it->second.reply)});
    return false;
  }
  void Answer(int step, BYTE reply) {
    if (Allowed(step))
      Send({reply});
  }
  void Send(std::vector<BYTE> bytes) {
    if (xonBeforeReplies)
      bytes.insert(bytes.begin(), {0x11, 0x13, 0x11});
    m_link->Feed(COMM_CHANNEL_RX, bytes);
  }

  CFakeCommLink* m_link;
  mutable std::mutex m_lock;
  std::vector<std::vector<BYTE>> m_frames;
  std::vector<BYTE> m_image;
  std::vector<int> m_blocks;
  std::vector<std::pair<size_t, size_t>> m_dataHeaders;
  size_t m_nBase = 0;
  size_t m_nOffset = 0;
  size_t m_nDataExpected = 0;
  int m_counts[kStepCount] = {};
  Clock::time_point m_leaveTime{};
};

FlashTimings QuickTimings() {
  FlashTimings t;
  t.dwSettleMs = 30;
  t.dwReattachMs = 30;
  t.dwLeaveMs = 20;
  t.dwErasePolls = 300;
  t.dwReplyPolls = 300;
  return t;  // switch (50) and size (1000) budgets as in the program
}

class FlashDownloadTest : public CEngineTest {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    CFlashDownload::SetTimings(QuickTimings());
  }
  void TearDown() override {
    m_pFlash.reset();
    CFlashDownload::SetTimings(FlashTimings());
    CEngineTest::TearDown();
  }
  void Start(int type) {
    Connect(type);
    m_link.SetResponder([this](const BYTE* p, DWORD n) { m_printer.OnWrite(p, n); });
    ASSERT_EQ(g_TransferEngine.StartReaders(), 1);
    m_pFlash = std::make_unique<CFlashDownload>(&m_window, [this](int flag) {
      m_openPortCalls.push_back(flag);
      return 1;
    });
  }
  // Runs one download of `size` bytes to its end; returns the image.
  std::vector<BYTE> Run(size_t size, int type = COMM_TYPE_TCPIP) {
    if (!m_pFlash)
      Start(type);
    std::string path = MakeFile("Firmware.Bin", size, 7);
    EXPECT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
    g_RxDataBuffer.Reset();
    ResetEvent(g_hAbortEvent);
    m_pFlash->Start();
    ExpectOneDone(60000);
    return ReadWhole(path);
  }
  // Every run ends the same way: file closed, 1D FF last on the wire.
  void ExpectOrderlyEnd() {
    EXPECT_FALSE(g_TransferFile.IsOpen());
    auto frames = m_printer.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), (std::vector<BYTE>{0x1D, 0xFF}));
  }
  // The LED states posted, as "step:state" in order.
  std::vector<std::string> Leds() const {
    std::vector<std::string> out;
    for (const auto& m : m_window.Filter(WM_FLASH_STEP)) {
      out.push_back(std::to_string(m.wParam) + ":" + std::to_string(m.lParam));
    }
    return out;
  }
  // The frames' first two bytes, to see which steps ran.
  bool Sent(BYTE a, BYTE b) const {
    for (const auto& f : m_printer.Frames()) {
      if (f.size() >= 2 && f[0] == a && f[1] == b)
        return true;
    }
    return false;
  }

  CScriptedPrinter m_printer{&m_link};
  std::unique_ptr<CFlashDownload> m_pFlash;
  std::vector<int> m_openPortCalls;
};

using Strings = std::vector<std::string>;

TEST_F(FlashDownloadTest, SuccessSendsEveryBlockOnceAndShowsTheCrc) {
  CFlashDownload::SetTimings(FlashTimings());  // the program's own pauses
  StartLog();
  const size_t size = 2 * 65536 + 4096;
  std::vector<BYTE> image = Run(size);
  ExpectOrderlyEnd();
  EXPECT_EQ(m_printer.Image(), image);
  EXPECT_EQ(m_printer.Blocks(), (std::vector<int>{0, 1, 2}));
  for (const auto& [offset, length] : m_printer.DataHeaders()) {
    EXPECT_LE(offset + length, 65536u);
    EXPECT_EQ(length, 4096u);
  }
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:2", "3:2", "4:2"}));
  auto crc = m_window.Filter(WM_FLASH_CRC);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].wParam, 0x1234u);
  auto labels = m_window.Filter(WM_ENABLE_CONTROL);
  ASSERT_EQ(labels.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(labels[i].wParam, 1007 + i);
    EXPECT_EQ(labels[i].lParam, 1);
  }
  auto progress = m_window.Filter(WM_TRANSFER_PROGRESS);
  ASSERT_EQ(progress.size(), size / 4096);  // one per acknowledged data frame
  EXPECT_EQ(progress.back().wParam, 100u);
  EXPECT_EQ(progress.back().lParam, -1);
  EXPECT_EQ(m_window.Snapshot().back().message, WM_TRANSFER_DONE);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(m_openPortCalls.empty());
  // The closing frame waits its second after the last reply.
  auto frames = m_printer.Frames();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[frames.size() - 2], (std::vector<BYTE>{0x1D, 0x0F}));
  std::string log = StopLog();
  EXPECT_NE(
      log.find("Flash Download. Name = " + m_strHome + "/Firmware.Bin, Size = 135168 bytes\n"),
      std::string::npos);
}

TEST_F(FlashDownloadTest, LeaveFrameFollowsASecondAfterTheRun) {
  FlashTimings t = QuickTimings();
  t.dwLeaveMs = 1000;
  CFlashDownload::SetTimings(t);
  m_printer.flashSizeByte = 0;
  Clock::time_point start = Clock::now();
  Run(66560);  // too large for a 64 KiB flash: ends at once
  EXPECT_GE(m_printer.LeaveTime() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(Boxes(), (Strings{"error 17"}));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:1"}));
  EXPECT_FALSE(Sent(0x1D, 0x0E));
  ExpectOrderlyEnd();
}

TEST_F(FlashDownloadTest, PacketSizeThatDoesNotDivideTheBlockNeverCrossesIt) {
  m_link.sizes = {3000, 256, 3000};
  std::vector<BYTE> image = Run(65536 + 10240);
  ExpectOrderlyEnd();
  EXPECT_EQ(m_printer.Image(), image);
  size_t total = 0;
  for (const auto& [offset, length] : m_printer.DataHeaders()) {
    EXPECT_LE(offset + length, 65536u) << offset;
    EXPECT_LE(length, 3000u);
    total += length;
  }
  EXPECT_EQ(total, image.size());
  EXPECT_EQ(m_printer.Blocks(), (std::vector<int>{0, 1}));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FlashDownloadTest, SizeReplyZeroAllowsOneBlockExactly) {
  m_printer.flashSizeByte = 0;
  Run(65536);
  EXPECT_EQ(m_printer.Blocks(), (std::vector<int>{0}));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:2", "3:2", "4:2"}));
  EXPECT_TRUE(Boxes().empty());
}

// Refusals, silence and garbage at every step are the virtual printer's
// cases (FlashEndToEnd_test.cpp); here, what only a scripted printer shows.

TEST_F(FlashDownloadTest, ReadCrcTakesThreeBytesWithoutFlowControlFiltering) {
  m_printer.crcReply = {0x06, 0x0A, 0x00};
  Run(1024);
  auto crc = m_window.Filter(WM_FLASH_CRC);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].wParam, 0x000Au);
}

TEST_F(FlashDownloadTest, XonXoffBeforeEveryReplyAreDropped) {
  m_printer.xonBeforeReplies = true;
  m_printer.flashSizeByte = 0;        // 0x11 / 0x13 are never taken as sizes
  m_printer.crcReply = {0x34, 0x12};  // read back after 11 13 11
  std::vector<BYTE> image = Run(65536);
  EXPECT_EQ(m_printer.Image(), image);
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:2", "3:2", "4:2"}));
  EXPECT_TRUE(Boxes().empty());
  auto crc = m_window.Filter(WM_FLASH_CRC);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].wParam, 0x1113u);  // taken as they come: 11 dropped, then 13 11
}

TEST_F(FlashDownloadTest, AbortDuringTheEraseWaitEndsWithinAPoll) {
  FlashTimings t = QuickTimings();
  t.dwErasePolls = 20000;
  t.dwLeaveMs = 0;
  CFlashDownload::SetTimings(t);
  m_printer.faults = {{CScriptedPrinter::kErase, {0, -1}}};
  Start(COMM_TYPE_TCPIP);
  std::string path = MakeFile("fw.bin", 1024);
  ASSERT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
  ResetEvent(g_hAbortEvent);
  m_pFlash->Start();
  ASSERT_TRUE(m_link.WaitForWritten(3 + 2 + 2, 5000));  // the erase frame is out
  Sleep(50);
  Clock::time_point abortTime = Clock::now();
  SetEvent(g_hAbortEvent);
  ExpectOneDone(5000);
  EXPECT_LT(m_printer.LeaveTime() - abortTime, std::chrono::milliseconds(500));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:1"}));
  EXPECT_TRUE(Boxes().empty());
  ExpectOrderlyEnd();
}

// The image shrinks on disk after it was opened: the part that cannot be
// read must not be sent from whatever the buffer held before.
TEST_F(FlashDownloadTest, ShortReadOfTheImageSendsNothingStale) {
  Start(COMM_TYPE_TCPIP);
  std::string path = MakeFile("fw.bin", 3 * 65536);
  ASSERT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
  ASSERT_EQ(truncate(path.c_str(), 65536 + 1000), 0);
  g_RxDataBuffer.Reset();
  ResetEvent(g_hAbortEvent);
  m_pFlash->Start();
  ExpectOneDone(10000);
  EXPECT_EQ(Boxes(), (Strings{"error 7"}));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:2", "3:1"}));
  EXPECT_EQ(m_printer.DataHeaders().size(), 16u) << "only block 0 could be read whole";
  std::vector<BYTE> readable = ReadWhole(path);
  readable.resize(65536);
  EXPECT_EQ(m_printer.Image(), readable);
  ExpectOrderlyEnd();
  TransferOutcome outcome = g_TransferEngine.GetLastOutcome();
  EXPECT_EQ(outcome.nResult, TRANSFER_FAILED);
  EXPECT_EQ(outcome.qwBytesDelivered, 65536u);
}

// An abort while a data frame is still being written: the frame is finished
// before the run ends, so the closing 1D FF that follows is read by the
// printer as a command, not as the rest of the frame's data.
TEST_F(FlashDownloadTest, AbortWhileADataFrameIsWrittenFinishesItBeforeTheLeaveFrame) {
  Start(COMM_TYPE_TCPIP);
  int headers = 0;
  m_link.SetResponder([&](const BYTE* p, DWORD n) {
    m_printer.OnWrite(p, n);
    if (n == 6 && p[0] == 0x1D && p[1] == 0x11 && ++headers == 3)
      m_link.HoldWrites(true);  // the third frame's data stays pending
  });
  std::string path = MakeFile("fw.bin", 65536);
  ASSERT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
  ResetEvent(g_hAbortEvent);
  m_pFlash->Start();
  ASSERT_TRUE(m_link.WaitForHeldWrite(5000));
  SetEvent(g_hAbortEvent);
  Sleep(100);
  m_link.HoldWrites(false);
  // Whatever is pending now completes in full.
  EXPECT_TRUE(m_link.CompleteHeldWrite(4096, ERROR_SUCCESS));
  ExpectOneDone(5000);
  std::vector<BYTE> frame = ReadWhole(path);
  frame = std::vector<BYTE>(frame.begin() + 2 * 4096, frame.begin() + 3 * 4096);
  EXPECT_EQ(m_link.HeldSent(), frame) << "the frame was cut by the abort";
  EXPECT_EQ(m_link.Writes().back(), (std::vector<BYTE>{0x1D, 0xFF}));
  EXPECT_EQ(m_printer.DataHeaders().size(), 3u);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(g_TransferEngine.GetLastOutcome().nResult, TRANSFER_ABORTED);
}

TEST_F(FlashDownloadTest, UsbPrinterThatAnswersSIsOpenedAgain) {
  m_printer.switchReply = 'S';
  Run(1024, COMM_TYPE_USB);
  EXPECT_EQ(m_openPortCalls, (std::vector<int>{0}));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:2", "3:2", "4:2"}));
}

TEST_F(FlashDownloadTest, UsbPrinterWithAnotherAnswerFailsTheSwitch) {
  m_printer.switchReply = 'X';
  Run(1024, COMM_TYPE_USB);
  EXPECT_TRUE(m_openPortCalls.empty());
  EXPECT_EQ(Leds(), (Strings{"0:1", "0:1"}));
  EXPECT_FALSE(Sent(0x1D, 0x01));
  EXPECT_TRUE(Boxes().empty());
  ExpectOrderlyEnd();
}

TEST_F(FlashDownloadTest, SerialAnswerToTheSwitchLeavesItsLedAndPauses) {
  FlashTimings t = QuickTimings();
  t.dwSettleMs = 800;
  CFlashDownload::SetTimings(t);
  m_printer.switchReply = 0x06;
  Clock::time_point start = Clock::now();
  Run(1024, COMM_TYPE_SERIAL);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(800));
  EXPECT_EQ(Leds(), (Strings{"1:2", "2:2", "3:2", "4:2"}));
}

TEST_F(FlashDownloadTest, StartRequestDuringARunIsDropped) {
  Start(COMM_TYPE_TCPIP);
  std::string path = MakeFile("fw.bin", 1024);
  ASSERT_EQ(g_TransferFile.Open(path, CMyFile::kModeRead, 0), 1);
  ResetEvent(g_hAbortEvent);
  m_pFlash->Start();
  m_pFlash->Start();
  ExpectOneDone();
  Sleep(200);
  EXPECT_EQ(m_window.Count(WM_TRANSFER_DONE), 1u);
}

TEST(FlashNameTest, BinAnywhereInAnyCaseAndTheNameKeepsItsCase) {
  EXPECT_TRUE(CFlashDownload::HasBinExtension("/data/Firmware.bin"));
  EXPECT_TRUE(CFlashDownload::HasBinExtension("/data/FW.BiN"));
  EXPECT_TRUE(CFlashDownload::HasBinExtension("fw.bin.old"));
  EXPECT_FALSE(CFlashDownload::HasBinExtension("fw.hex"));
  EXPECT_FALSE(CFlashDownload::HasBinExtension("bin"));
  EXPECT_FALSE(CFlashDownload::HasBinExtension(""));
}

}  // namespace
