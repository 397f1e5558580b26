// The firmware download against a scripted printer on the fake backend:
// the success path frame by frame and in the window's messages, odd packet
// sizes, flow-control bytes, the USB and serial answers to the switch frame,
// and abort.
#include "firmware/FlashDownload.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/ControlIds.h"
#include "platform/LastError.h"
#include "testsupport/SimTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// The printer's side of the protocol, answering each frame as it is written.
class CScriptedPrinter {
 public:
  BYTE flashSizeByte = 0xFF;
  BYTE switchReply = 0;  // 0: no answer to the switch frame
  bool xonBeforeReplies = false;
  std::vector<BYTE> crcReply = {0x06, 0x34, 0x12};
  bool silentErase = false;  // refusals and silence elsewhere: FlashEndToEnd

  // What the printer saw, in order.
  struct Seen {
    std::vector<std::vector<BYTE>> frames;
    std::vector<BYTE> image;
    std::vector<int> blocks;
    std::vector<std::pair<size_t, size_t>> dataHeaders;  // offset, length
    Clock::time_point leaveTime{};
  };

  explicit CScriptedPrinter(CFakeCommLink* link) : m_link(link) {}

  void OnWrite(const BYTE* p, DWORD n) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_seen.frames.emplace_back(p, p + n);
    if (m_nDataExpected > 0) {
      std::vector<BYTE>& image = m_seen.image;
      image.resize(std::max<size_t>(image.size(), m_nBase + m_nOffset + n));
      std::copy(p, p + n, image.begin() + m_nBase + m_nOffset);
      m_nDataExpected = 0;
      Send({0x06});
      return;
    }
    if (n == 3 && p[0] == 0x1B) {
      if (switchReply != 0)
        Send({switchReply});
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x01) {
      Send({flashSizeByte});
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x0E) {
      if (!silentErase)
        Send({0x06});
    } else if (n == 3 && p[0] == 0x1D && p[1] == 0x02) {
      m_nBase = static_cast<size_t>(p[2]) * 65536;
      m_seen.blocks.push_back(p[2]);
      Send({0x06});
    } else if (n == 6 && p[0] == 0x1D && p[1] == 0x11) {
      m_nOffset = p[2] | (p[3] << 8);
      m_nDataExpected = p[4] | (p[5] << 8);
      m_seen.dataHeaders.push_back({m_nOffset, m_nDataExpected});
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x06) {
      Send({0x06});
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0x0F) {
      Send(crcReply);
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0xFF) {
      m_seen.leaveTime = Clock::now();
    }
  }

  Seen Get() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen;
  }
  // How many frames began with a and b.
  size_t Count(BYTE a, BYTE b) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<size_t>(
        std::count_if(m_seen.frames.begin(), m_seen.frames.end(),
                      [&](const auto& f) { return f.size() >= 2 && f[0] == a && f[1] == b; }));
  }

 private:
  void Send(std::vector<BYTE> bytes) {
    if (xonBeforeReplies)
      bytes.insert(bytes.begin(), {0x11, 0x13, 0x11});
    m_link->Feed(COMM_CHANNEL_RX, bytes);
  }

  CFakeCommLink* m_link;
  mutable std::mutex m_lock;
  Seen m_seen;
  size_t m_nBase = 0;
  size_t m_nOffset = 0;
  size_t m_nDataExpected = 0;
};

using Strings = std::vector<std::string>;
const Strings kAllGreen = {"0:2", "1:2", "2:2", "3:2", "4:2"};

// CSimTest for its firmware pauses; the printer here is the scripted one.
class FlashDownloadTest : public CSimTest {
 protected:
  void TearDown() override {
    m_pFlash.reset();
    CSimTest::TearDown();
  }
  void Start(int type) {
    Connect(type);
    m_link.SetResponder([this](const BYTE* p, DWORD n) { m_printer.OnWrite(p, n); });
    ASSERT_EQ(m_engine.StartReaders(), 1);
    m_pFlash = std::make_unique<CFlashDownload>(m_engine, &m_events, [this](int flag) {
      m_openPortCalls.push_back(flag);
      return 1;
    });
  }
  // Starts a download of `size` pattern bytes (connecting first if need be);
  // returns the image's path.
  std::string Begin(size_t size, int type = COMM_TYPE_TCPIP) {
    if (!m_pFlash)
      Start(type);
    std::string path = MakeFile("Firmware.Bin", size, 7);
    EXPECT_EQ(m_io.transferFile.Open(path, CMyFile::kModeRead, 0), 1);
    m_io.rxDataBuffer.Reset();
    ResetEvent(m_io.AbortEvent());
    m_pFlash->Start();
    return path;
  }
  // Runs one download of `size` bytes to its end; returns the image.
  std::vector<BYTE> Run(size_t size, int type = COMM_TYPE_TCPIP) {
    std::string path = Begin(size, type);
    ExpectOneDone(60000);
    return ReadWhole(path);
  }
  // Every run ends the same way: file closed, 1D FF last on the wire.
  void ExpectOrderlyEnd() {
    EXPECT_FALSE(m_io.transferFile.IsOpen());
    auto frames = m_printer.Get().frames;
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), (std::vector<BYTE>{0x1D, 0xFF}));
  }
  CScriptedPrinter m_printer{&m_link};
  std::unique_ptr<CFlashDownload> m_pFlash;
  std::vector<int> m_openPortCalls;
};

TEST_F(FlashDownloadTest, SuccessSendsEveryBlockOnceAndShowsTheCrc) {
  CFlashDownload::SetTimings(FlashTimings());  // the program's own pauses
  StartLog();
  const size_t size = 2 * 65536 + 4096;
  std::vector<BYTE> image = Run(size);
  ExpectOrderlyEnd();
  EXPECT_EQ(m_printer.Get().image, image);
  EXPECT_EQ(m_printer.Get().blocks, (std::vector<int>{0, 1, 2}));
  for (const auto& [offset, length] : m_printer.Get().dataHeaders) {
    EXPECT_LE(offset + length, 65536u);
    EXPECT_EQ(length, 4096u);
  }
  EXPECT_EQ(Leds(), kAllGreen);
  auto crc = m_events.Filter(EventKind::kFlashCrc);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].value, 0x1234u);
  std::vector<RecordedEvent> labels;  // each step's beginning lights its label
  for (const RecordedEvent& e : m_events.Filter(EventKind::kFlashStep)) {
    if (e.detail == static_cast<std::int64_t>(FlashStepState::kBegun))
      labels.push_back(e);
  }
  ASSERT_EQ(labels.size(), 6u);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(labels[i].value, i);
  auto progress = m_events.Filter(EventKind::kProgress);
  ASSERT_EQ(progress.size(), size / 4096);  // one per acknowledged data frame
  EXPECT_EQ(progress.back().value, 100u);
  EXPECT_EQ(progress.back().detail, -1);
  EXPECT_EQ(m_events.Snapshot().back().kind, EventKind::kDone);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(m_openPortCalls.empty());
  // The closing frame waits its second after the last reply.
  auto frames = m_printer.Get().frames;
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[frames.size() - 2], (std::vector<BYTE>{0x1D, 0x0F}));
  std::string log = StopLog();
  EXPECT_NE(
      log.find("Flash Download. Name = " + m_strHome + "/Firmware.Bin, Size = 135168 bytes\n"),
      std::string::npos);
}

// Size reply 0 is a flash of one block: an image of one block fits, one
// byte more is refused at once, and the closing frame still waits its pause.
TEST_F(FlashDownloadTest, SizeReplyZeroTakesOneBlockAndTheLeaveFrameWaitsAfterARefusal) {
  m_printer.flashSizeByte = 0;
  Run(65536);
  EXPECT_EQ(m_printer.Get().blocks, (std::vector<int>{0}));
  EXPECT_EQ(Leds(), kAllGreen);
  EXPECT_TRUE(Boxes().empty());

  FlashTimings t = QuickFlashTimings();
  t.dwLeaveMs = 1000;
  CFlashDownload::SetTimings(t);
  m_events.Clear();
  Clock::time_point start = Clock::now();
  Run(65537);
  EXPECT_GE(m_printer.Get().leaveTime - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(Boxes(), (Strings{"error 17"}));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:1"}));
  EXPECT_EQ(m_printer.Count(0x1D, 0x0E), 1u);  // the first run's erase only
  ExpectOrderlyEnd();
}

TEST_F(FlashDownloadTest, PacketSizeThatDoesNotDivideTheBlockNeverCrossesIt) {
  m_link.sizes = {3000, 256, 3000};
  std::vector<BYTE> image = Run(65536 + 10240);
  ExpectOrderlyEnd();
  EXPECT_EQ(m_printer.Get().image, image);
  size_t total = 0;
  for (const auto& [offset, length] : m_printer.Get().dataHeaders) {
    EXPECT_LE(offset + length, 65536u) << offset;
    EXPECT_LE(length, 3000u);
    total += length;
  }
  EXPECT_EQ(total, image.size());
  EXPECT_EQ(m_printer.Get().blocks, (std::vector<int>{0, 1}));
  EXPECT_TRUE(Boxes().empty());
}

// Refusals, silence and garbage at every step are the virtual printer's
// cases (FlashEndToEnd_test.cpp); here, what only a scripted printer shows.

TEST_F(FlashDownloadTest, XonXoffBeforeEveryReplyAreDropped) {
  m_printer.xonBeforeReplies = true;
  m_printer.flashSizeByte = 0;        // 0x11 / 0x13 are never taken as sizes
  m_printer.crcReply = {0x34, 0x12};  // read back after 11 13 11
  std::vector<BYTE> image = Run(65536);
  EXPECT_EQ(m_printer.Get().image, image);
  EXPECT_EQ(Leds(), kAllGreen);
  EXPECT_TRUE(Boxes().empty());
  auto crc = m_events.Filter(EventKind::kFlashCrc);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].value, 0x1113u);  // taken as they come: 11 dropped, then 13 11
}

TEST_F(FlashDownloadTest, AbortDuringTheEraseWaitEndsWithinAPoll) {
  FlashTimings t = QuickFlashTimings();
  t.dwErasePolls = 20000;
  t.dwLeaveMs = 0;
  CFlashDownload::SetTimings(t);
  m_printer.silentErase = true;
  Begin(1024);
  ASSERT_TRUE(m_link.WaitForWritten(3 + 2 + 2, 5000));  // the erase frame is out
  Sleep(50);
  Clock::time_point abortTime = Clock::now();
  SetEvent(m_io.AbortEvent());
  ExpectOneDone(5000);
  EXPECT_LT(m_printer.Get().leaveTime - abortTime, std::chrono::milliseconds(500));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:1"}));
  EXPECT_TRUE(Boxes().empty());
  ExpectOrderlyEnd();
}

// The image shrinks on disk after it was opened: the part that cannot be
// read must not be sent from whatever the buffer held before.
TEST_F(FlashDownloadTest, ShortReadOfTheImageSendsNothingStale) {
  Start(COMM_TYPE_TCPIP);
  std::string path = MakeFile("fw.bin", 3 * 65536);
  ASSERT_EQ(m_io.transferFile.Open(path, CMyFile::kModeRead, 0), 1);
  ASSERT_EQ(truncate(path.c_str(), 65536 + 1000), 0);
  m_io.rxDataBuffer.Reset();
  ResetEvent(m_io.AbortEvent());
  m_pFlash->Start();
  ExpectOneDone(10000);
  EXPECT_EQ(Boxes(), (Strings{std::string("error 7\n") + CFlashDownload::PartlyWrittenAdvice()}));
  EXPECT_EQ(Leds(), (Strings{"0:2", "1:2", "2:2", "3:1"}));
  EXPECT_EQ(m_printer.Get().dataHeaders.size(), 16u) << "only block 0 could be read whole";
  std::vector<BYTE> readable = ReadWhole(path);
  readable.resize(65536);
  EXPECT_EQ(m_printer.Get().image, readable);
  ExpectOrderlyEnd();
  TransferOutcome outcome = m_engine.GetLastOutcome();
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
  std::string path = Begin(65536);
  ASSERT_TRUE(m_link.WaitForHeldWrite(5000));
  SetEvent(m_io.AbortEvent());
  Sleep(100);
  m_link.HoldWrites(false);
  // Whatever is pending now completes in full.
  EXPECT_TRUE(m_link.CompleteHeldWrite(4096, ERROR_SUCCESS));
  ExpectOneDone(5000);
  std::vector<BYTE> frame = ReadWhole(path);
  frame = std::vector<BYTE>(frame.begin() + 2 * 4096, frame.begin() + 3 * 4096);
  EXPECT_EQ(m_link.HeldSent(), frame) << "the frame was cut by the abort";
  EXPECT_EQ(m_link.Writes().back(), (std::vector<BYTE>{0x1D, 0xFF}));
  EXPECT_EQ(m_printer.Get().dataHeaders.size(), 3u);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(m_engine.GetLastOutcome().nResult, TRANSFER_ABORTED);
}

TEST_F(FlashDownloadTest, UsbPrinterThatAnswersSIsOpenedAgain) {
  m_printer.switchReply = 'S';
  Run(1024, COMM_TYPE_USB);
  EXPECT_EQ(m_openPortCalls, (std::vector<int>{0}));
  EXPECT_EQ(Leds(), kAllGreen);
}

TEST_F(FlashDownloadTest, UsbPrinterWithAnotherAnswerFailsTheSwitch) {
  m_printer.switchReply = 'X';
  Run(1024, COMM_TYPE_USB);
  EXPECT_TRUE(m_openPortCalls.empty());
  EXPECT_EQ(Leds(), (Strings{"0:1", "0:1"}));
  EXPECT_EQ(m_printer.Count(0x1D, 0x01), 0u);
  EXPECT_TRUE(Boxes().empty());
  ExpectOrderlyEnd();
}

TEST_F(FlashDownloadTest, SerialAnswerToTheSwitchLeavesItsLedAndPauses) {
  FlashTimings t = QuickFlashTimings();
  t.dwSettleMs = 800;
  CFlashDownload::SetTimings(t);
  m_printer.switchReply = 0x06;
  Clock::time_point start = Clock::now();
  Run(1024, COMM_TYPE_SERIAL);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(800));
  EXPECT_EQ(Leds(), (Strings{"1:2", "2:2", "3:2", "4:2"}));
}

TEST_F(FlashDownloadTest, StartRequestDuringARunIsDropped) {
  Begin(1024);
  m_pFlash->Start();
  ExpectOneDone();
  Sleep(200);
  EXPECT_EQ(m_events.Count(EventKind::kDone), 1u);
}

TEST(FlashNameTest, BinAnywhereInAnyCase) {
  for (const char* name : {"/data/Firmware.bin", "/data/FW.BiN", "fw.bin.old"})
    EXPECT_TRUE(CFlashDownload::HasBinExtension(name)) << name;
  for (const char* name : {"fw.hex", "bin", ""})
    EXPECT_FALSE(CFlashDownload::HasBinExtension(name)) << name;
}

}  // namespace
