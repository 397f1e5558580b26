// The main window's logic end to end: a recording view, the real engine and
// communications library, and the virtual printer over loopback TCP and a
// pseudo-terminal. Worker messages are delivered to the logic on the test's
// thread, as the window's event loop would.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

#include "Sha256.h"
#include "comm/SerialPortList.h"
#include "firmware/FlashDownload.h"
#include "log/DataLog.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/ControlIds.h"
#include "platform/EventLoop.h"
#include "platform/InvokerTarget.h"
#include "session/Session.h"
#include "testsupport/FakeMainView.h"
#include "testsupport/SimTestSupport.h"
#include "windowlogic/SendrixDlg.h"

namespace {

std::string Sha(const std::vector<BYTE>& bytes) {
  CSha256 sha;
  sha.Update(bytes.data(), bytes.size());
  return sha.HexDigest();
}

// The window's thread for the logic: the loop, asking after each request it
// runs (a message, a worker's report) whether the pump may stop, so that a
// state the logic passes through is seen even when the next request follows
// at once.
class CPumpInvoker : public IInvoker {
 public:
  explicit CPumpInvoker(CEventLoop& loop) : m_loop(loop) {}
  bool Post(std::function<void()> fn) override {
    return m_loop.Post([this, fn = std::move(fn)] {
      fn();
      if (m_fnDone && m_fnDone())
        m_loop.Quit();
    });
  }
  bool Call(const std::function<void()>& fn) override { return m_loop.Call(fn); }
  void Close() override { m_loop.Close(); }
  bool IsClosed() const override { return m_loop.IsClosed(); }

  std::function<bool()> m_fnDone;  // the loop's thread only

 private:
  CEventLoop& m_loop;
};

class WindowTest : public CSimTest {
 protected:
  void SetUp() override {
    m_pLog = &m_session.DataLog();  // the dialog's session logs, not the engine fixture's
    CSimTest::SetUp();
    m_bConnected = true;  // the fixture's tear-down ends the library set-up
    m_pDlg = std::make_unique<CSendrixDlg>(m_session);
    m_target.SetHandler([this](UINT message, WPARAM wParam, LPARAM lParam) {
      return m_pDlg->OnMessage(message, wParam, lParam);
    });
    m_pView = std::make_unique<CFakeMainView>(m_pDlg->Fields());
    m_pDlg->Attach(m_pView.get(), &m_files, &m_target, nullptr, &m_invoker);
  }
  void TearDown() override {
    m_pDlg.reset();
    m_pView.reset();
    CSimTest::TearDown();
    unsetenv("SENDRIX_EXTRA_SERIAL_PORTS");
  }

  void StartPrinter(SimTransport transport, const std::vector<std::string>& faults = {},
                    bool bothFaces = false) {
    SIM_OPTIONS o;
    o.flash.dwEraseMs = 0;
    StartSim(transport, faults, o, bothFaces);
    if (transport == kTcp || bothFaces)
      SetTcp(m_pSim.get(), m_pDlg->Fields());
    if (transport == kPty || bothFaces) {
      setenv("SENDRIX_EXTRA_SERIAL_PORTS", PtyLink().c_str(), 1);
      SetSerial(m_pDlg->Fields());
    }
    m_pDlg->Fields().main.m_nInterface = transport == kTcp ? 2 : 0;
  }
  static void SetTcp(CPrinterSim* sim, CDialogFields& f) {
    f.ethernet.m_dwIpAddress = 0x7F000001;
    f.ethernet.m_nMainPort = sim->GetMainPort();
    f.ethernet.m_nRealTimePort = sim->GetRtPort();
    f.ethernet.m_nUsmPort = sim->GetUsmPort();
    f.ethernet.m_nOutputPort = 0;
  }
  void SetSerial(CDialogFields& f) {
    std::vector<std::string> ports = CSerialPortList::Enumerate();
    auto it = std::find(ports.begin(), ports.end(), PtyLink());
    ASSERT_NE(it, ports.end());
    f.serial = CSerialFields{static_cast<int>(it - ports.begin()), 0, 0, 3, 0, 0};
  }
  void Init() {
    ASSERT_EQ(m_pDlg->OnInitDialog(), 1);
    ASSERT_EQ(m_pView->Enabled(kIdcFileStart), 1) << "the port did not open";
  }
  // Runs the window's loop (the workers' reports and the library's
  // messages reach the logic there, as in a run) until `done` holds; false
  // after timeoutMs.
  bool Pump(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool met = done();
    if (met)
      return true;
    m_invoker.m_fnDone = [&] { return met = met || done(); };
    constexpr int kCheckMs = 5;
    const int timer = m_loop.AddTimer(kCheckMs, [&] {
      met = met || done();
      if (met || std::chrono::steady_clock::now() > end)
        m_loop.Quit();
    });
    m_loop.Run();
    m_loop.KillTimer(timer);
    m_invoker.m_fnDone = nullptr;
    return met;
  }
  bool PumpUntilIdle(int timeoutMs = 20000) {
    return Pump([this] { return m_pDlg->GetRunningOperation() == OP_IDLE; }, timeoutMs);
  }
  CMainFields& Operator() { return m_pView->controls.main; }
  // Controls that every operation disables and its end restores.
  void ExpectRestored(int startButton) {
    for (int id : std::initializer_list<int>{
             kIdcBrowse, kIdcFileName, kIdcFileList, kIdcStringStart, kIdcDataString,
             kIdcSerialRadio, kIdcUsbRadio, kIdcEthernetRadio, kIdcPacketProtocol, startButton})
      EXPECT_EQ(m_pView->Enabled(id), 1) << id;
    EXPECT_EQ(m_pView->Text(startButton), "Start");
    EXPECT_EQ(m_pDlg->GetRunningOperation(), OP_IDLE);
  }

  CSession m_session;
  CEventLoop m_loop;  // the window's thread: this one
  CPumpInvoker m_invoker{m_loop};
  CInvokerTarget m_target{m_invoker};
  std::unique_ptr<CSendrixDlg> m_pDlg;
  std::unique_ptr<CFakeMainView> m_pView;
  CFakeFileDialog m_files;
};

class WindowTransportTest : public WindowTest,
                            public ::testing::WithParamInterface<SimTransport> {};

// Without a text library the Start buttons still read "Start", and "Abort"
// while their operation runs.
TEST_P(WindowTransportTest, FileTransferReachesThePrinterAndRestoresTheWindow) {
  // Larger than the loopback buffers and paced, so the pass lasts long
  // enough to have a rate (a small file is taken in within a millisecond).
  StartPrinter(GetParam(), {"throttle=40000000"});
  Init();
  std::string path = MakeFile("receipt.prn", 12 * 1024 * 1024 + 17, 3);
  Operator().m_strFileName = path;
  m_pDlg->OnCommand(kIdcFileStart);
  ASSERT_EQ(m_pDlg->GetRunningOperation(), OP_FILE_TRANSFER);
  EXPECT_EQ(m_pView->Text(kIdcFileStart), "Abort");
  EXPECT_EQ(m_pView->Enabled(kIdcFileStart), 1);
  for (int id : {kIdcFileName, kIdcBrowse, kIdcFirmwareStart, kIdcStringStart, kIdcDataString,
                 kIdcSerialRadio, kIdcEthernetRadio, kIdcRepeat})
    EXPECT_EQ(m_pView->Enabled(id), 0) << id;
  ASSERT_TRUE(PumpUntilIdle(30000));
  ExpectRestored(kIdcFileStart);
  EXPECT_EQ(m_pView->Enabled(kIdcFirmwareStart), 1);
  EXPECT_EQ(m_pView->m_nProgress, 100);
  EXPECT_EQ(m_pView->Text(kIdcProgressPercent), "100 %");
  EXPECT_GT(std::atof(m_pView->Text(kIdcRate).c_str()), 0.0) << m_pView->Text(kIdcRate);
  ASSERT_FALSE(m_pView->m_files.empty());
  EXPECT_EQ(m_pView->m_files[0].name, path);
  std::vector<BYTE> sent = ReadWhole(path);
  ASSERT_TRUE(
      m_pSim->WaitFor([&](const SIM_COUNTERS& c) { return c.qwPrintBytes >= sent.size(); }, 10000));
  EXPECT_EQ(m_pSim->GetSha256(), Sha(sent));
  EXPECT_TRUE(Boxes().empty());
}

TEST_P(WindowTransportTest, FirmwareDownloadTurnsEveryStepGreenAndShowsThePrintersCrc) {
  StartPrinter(GetParam());
  Init();
  std::string path = MakeFile("fw.bin", 2 * 65536 + 4096, 7);
  Operator().m_strFileName = path;
  m_pDlg->OnCommand(kIdcFirmwareStart);
  ASSERT_EQ(m_pDlg->GetRunningOperation(), OP_FIRMWARE_DOWNLOAD);
  EXPECT_EQ(m_pView->Text(kIdcFirmwareStart), "Abort");
  ASSERT_TRUE(PumpUntilIdle(60000));
  for (int led = kIdcStepLampSwitchMode; led <= kIdcStepLampCheckCrc; ++led)
    EXPECT_EQ(m_pView->Led(-1, led), 2) << led;
  char crc[8];
  std::snprintf(crc, sizeof crc, "%04X", m_pSim->GetCounters().wFlashCrc);
  EXPECT_EQ(m_pView->Text(kIdcFirmwareCrc), crc);
  std::vector<BYTE> image = ReadWhole(path);
  std::vector<uint8_t> flash = m_pSim->GetFlashImage();
  ASSERT_GE(flash.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  ExpectRestored(kIdcFirmwareStart);
  EXPECT_TRUE(Boxes().empty());
}

// The printer closes the connection, or the serial line hangs up, mid-file
// of a batch run: the job fails and says so (on the line, the port lost is
// the only sign), and the run's exit status says so too.
TEST_P(WindowTransportTest, LineLostMidFileEndsShowingFailure) {
  StartPrinter(GetParam(), {GetParam() == kTcp ? "drop-after=200000" : "hangup-after=200000"});
  StartLog();
  // Far larger than the loopback buffers, so writes after the drop fail
  // rather than vanish into them.
  const std::string path = MakeFile("long.prn", 32 * 1024 * 1024, 6);
  m_pDlg->m_fnParseCommandLine = [&path](CSendrixDlg& dlg) {
    dlg.Fields().main.m_strFileName = path;
    return 2;
  };
  Init();
  ASSERT_TRUE(Pump([this] { return m_pDlg->GetRunningOperation() == OP_FILE_TRANSFER; }));
  ASSERT_TRUE(PumpUntilIdle(30000));
  ExpectRestored(kIdcFileStart);
  EXPECT_EQ(m_pDlg->BatchExitStatus(), kBatchExitFailed);
  EXPECT_EQ(m_pView->Text(kIdcRate), "-------");
  std::vector<std::string> boxes = Boxes();
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), "error 50"), boxes.end());
  EXPECT_NE(StopLog().find("File Transfer failed"), std::string::npos);
  EXPECT_LT(m_pSim->GetCounters().qwPrintBytes, 32u * 1024 * 1024);
}

INSTANTIATE_TEST_SUITE_P(Transports, WindowTransportTest, ::testing::Values(kTcp, kPty),
                         SimTransportName);

TEST_F(WindowTest, NakAtEraseShowsError18AndEndsIdle) {
  StartPrinter(kTcp, {"nak-erase"});
  Init();
  Operator().m_strFileName = MakeFile("fw.BIN", 65536, 2);
  m_pDlg->OnCommand(kIdcFirmwareStart);
  ASSERT_TRUE(PumpUntilIdle(30000));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"error 18"});
  EXPECT_EQ(m_pView->Led(-1, kIdcStepLampSwitchMode), 2);
  EXPECT_EQ(m_pView->Led(-1, kIdcStepLampFlashSize), 2);
  EXPECT_EQ(m_pView->Led(-1, kIdcStepLampErase), 1);
  EXPECT_EQ(m_pView->Led(-1, kIdcStepLampDownload), 0);
  ExpectRestored(kIdcFirmwareStart);
}

// Data strings as the printer receives them: escaped ASCII and hex, plain and
// packet-framed (frames written out by hand from the framing rules).
TEST_F(WindowTest, DataStringsReachThePrinterEncodedAndFramed) {
  StartPrinter(kTcp);
  Init();
  struct Case {
    int format;
    const char* text;
    int packet;
    std::vector<BYTE> wire;
    const char* historyTop;
  };
  const Case cases[] = {
      {0, "AB\\x1B@\\r\\n", 0, {0x41, 0x42, 0x1B, 0x40, 0x0D, 0x0A}, "AB\\x1B@\\r\\n"},
      {1, "1b 40,0a", 0, {0x1B, 0x40, 0x0A}, "1B 40 0A "},
      {0, "A\\x02", 1, {0x02, 0x41, 0x1A, 0xFD, 0x03, 0xBA}, "A\\x02"},
      {1, "03 1A 10", 1, {0x02, 0x1A, 0xFC, 0x1A, 0xE5, 0x10, 0x03, 0xD0}, "03 1A 10 "},
  };
  std::vector<BYTE> all;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Operator().m_nStringFormat = c.format;
    Operator().m_strDataString = c.text;
    Operator().m_bPacketMode = c.packet;
    m_pDlg->OnCommand(kIdcStringStart);
    ASSERT_EQ(m_pDlg->GetRunningOperation(), OP_STRING_TRANSFER);
    EXPECT_EQ(m_pView->Text(kIdcStringStart), "Abort");
    ASSERT_TRUE(PumpUntilIdle());
    ExpectRestored(kIdcStringStart);
    all.insert(all.end(), c.wire.begin(), c.wire.end());
    ASSERT_TRUE(
        m_pSim->WaitFor([&](const SIM_COUNTERS& n) { return n.qwPrintBytes >= all.size(); }, 5000));
    EXPECT_EQ(m_pSim->GetCounters().qwPrintBytes, all.size());
    EXPECT_EQ(m_pSim->GetSha256(), Sha(all));
    ASSERT_FALSE(m_pView->m_strings.empty());
    EXPECT_EQ(m_pView->m_strings[0], c.historyTop);
  }
}

// A batch run (auto start, auto close) aborted while the file transfer waits
// between two passes ends at once, restores the window and closes it.
TEST_F(WindowTest, AbortDuringRepeatDelayEndsAtOnceAndClosesTheBatchWindow) {
  StartPrinter(kTcp);
  const std::string path = MakeFile("pass.prn", 100000, 4);
  m_pDlg->m_fnParseCommandLine = [&path](CSendrixDlg& dlg) {
    dlg.Fields().main.m_strFileName = path;
    dlg.Fields().main.m_bRepeat = 1;
    dlg.Fields().main.m_nRepeatCount = 3;
    dlg.Fields().main.m_nDelay = 20000;
    return 2;
  };
  Init();
  ASSERT_TRUE(Pump([this] { return m_pView->m_nProgress == 100; }));
  EXPECT_EQ(m_pDlg->GetRunningOperation(), OP_FILE_TRANSFER);
  EXPECT_EQ(m_pView->Text(kIdcRepeatNumber), "1");
  const auto abortAt = std::chrono::steady_clock::now();
  m_pDlg->OnCommand(kIdcFileStart);
  EXPECT_EQ(m_pView->Enabled(kIdcFileStart), 0);
  ASSERT_TRUE(PumpUntilIdle(5000));
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, std::chrono::seconds(3));
  ExpectRestored(kIdcFileStart);
  EXPECT_EQ(m_pView->m_nCloseRequests, 1);
  EXPECT_EQ(m_pDlg->BatchExitStatus(), kBatchExitAborted);
  // One pass reached the printer, and no second one follows.
  EXPECT_TRUE(
      m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.qwPrintBytes >= 100000; }, 5000));
  Sleep(100);
  EXPECT_EQ(m_pSim->GetCounters().qwPrintBytes, 100000u);
}

// The exit status of a headless batch run: the job's outcome, or a failure
// when a start check refused the action, which then closes the window (nobody
// could close it).
TEST_F(WindowTest, HeadlessBatchEndsWithTheActionsExitStatus) {
  StartPrinter(kTcp, {"nak-erase"});
  struct Case {
    int mode;
    std::string file;
    int status;
  };
  const Case cases[] = {
      {2, MakeFile("ok.prn", 5000, 1), kBatchExitCompleted},
      {3, MakeFile("fw.BIN", 65536, 2), kBatchExitFailed},  // the erase is refused
      {2, m_strHome + "/missing.prn", kBatchExitFailed},    // error 3: nothing starts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    m_pDlg = std::make_unique<CSendrixDlg>(m_session);
    m_pView = std::make_unique<CFakeMainView>(m_pDlg->Fields());
    m_pDlg->Attach(m_pView.get(), &m_files, &m_target, nullptr, &m_invoker);
    SetTcp(m_pSim.get(), m_pDlg->Fields());
    m_pDlg->Fields().main.m_nInterface = 2;
    m_pDlg->Batch().m_bHeadless = 1;
    m_pDlg->m_fnParseCommandLine = [&c](CSendrixDlg& dlg) {
      dlg.Fields().main.m_strFileName = c.file;
      return c.mode;
    };
    Init();
    ASSERT_TRUE(Pump([this] { return m_pView->m_nCloseRequests > 0; }, 30000));
    EXPECT_EQ(m_pDlg->BatchExitStatus(), c.status);
    EXPECT_EQ(m_pDlg->GetRunningOperation(), OP_IDLE);
  }
}

TEST_F(WindowTest, SwitchingInterfacesClosesTheOldPortBeforeOpeningTheNew) {
  StartPrinter(kPty, {}, true);
  StartLog();
  Init();
  EXPECT_EQ(m_pView->m_nShownPanel, 0);
  EXPECT_EQ(m_pView->IsDlgItemVisible(kIdcShowUsm), 0);
  Operator().m_nInterface = 2;
  m_pDlg->OnCommand(kIdcEthernetRadio);
  EXPECT_EQ(m_pView->m_nShownPanel, 2);
  EXPECT_EQ(m_pView->IsDlgItemVisible(kIdcShowUsm), 1);
  EXPECT_EQ(m_pView->Enabled(kIdcFileStart), 1);
  const std::string log = StopLog();
  char tcpLine[200];
  std::snprintf(tcpLine, sizeof tcpLine,
                "Open TCP/IP Port successful. Params : IP address 127.0.0.1, Output port Sel = "
                "Main, Main port = %d, Real Time Port = %d, USM Port = %d, AutoReconnect = FALSE",
                m_pSim->GetMainPort(), m_pSim->GetRtPort(), m_pSim->GetUsmPort());
  // The whole path of the port (longer than the 11 characters once kept).
  ASSERT_GT(PtyLink().size(), 12u);
  const std::vector<std::string> order = {
      "Open Serial Port successful. Params : Port = " + PtyLink() +
          ", BaudRate = 115200, Parity = None, "
          "Handshaking = None, NbDatas = 8, NbStops = 1",
      "Set Interface = TCP/IP", "Close Serial Port", tcpLine};
  size_t at = 0;
  for (const std::string& line : order) {
    size_t found = log.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line;
    at = found + line.size();
  }
}

const char* CommText(int code) {
  return code == 7    ? "The printer closed the connection."
         : code == 10 ? "Cannot connect to %s: %s"
                      : "comm error";
}

// One printer restart breaks the data and the status connection: one box,
// naming the connection, and for a download also what to do. Abort during
// the erase says so; a refused new attempt clears the last run's lamps.
TEST_F(WindowTest, PrinterRestartAndAbortDuringADownloadGiveOneBoxThatSaysWhatToDo) {
  g_pfnCommErrorGetText.store(&CommText);
  SIM_OPTIONS o;
  o.flash.dwEraseMs = 1500;
  StartSim(kTcp, {"restart-after=70000"}, o);
  SetTcp(m_pSim.get(), m_pDlg->Fields());
  m_pDlg->Fields().main.m_nInterface = 2;
  Init();
  Operator().m_strFileName = MakeFile("fw.bin", 4 * 65536, 3);
  m_pDlg->OnCommand(kIdcFirmwareStart);
  ASSERT_TRUE(PumpUntilIdle(30000));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find("closed the connection. (127.0.0.1:"), std::string::npos) << Boxes()[0];
  EXPECT_NE(Boxes()[0].find(CFlashDownload::PartlyWrittenAdvice()), std::string::npos);
  EXPECT_EQ(m_pView->Led(-1, kIdcStepLampSwitchMode), 2);  // the switch passed, shown green

  m_notifier.Clear();
  Operator().m_strFileName = m_strHome + "/missing.bin";
  m_pDlg->OnCommand(kIdcFirmwareStart);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find(m_strHome + "/missing.bin: "), std::string::npos) << Boxes()[0];
  for (int id = kIdcStepLampSwitchMode; id <= kIdcStepLampCheckCrc; ++id)
    EXPECT_EQ(m_pView->Led(-1, id), 0) << id;

  m_notifier.Clear();
  Operator().m_strFileName = m_strHome + "/fw.bin";
  // The erase has begun once the printer holds the switch (3 bytes), the
  // size query and the erase command (2 each); its reply waits 1.5 s.
  const uint64_t before = m_pSim->GetCounters().qwRawBytes;
  m_pDlg->OnCommand(kIdcFirmwareStart);
  ASSERT_TRUE(m_pSim->WaitFor(
      [before](const SIM_COUNTERS& c) { return c.qwRawBytes >= before + 7; }, 10000));
  m_pDlg->OnCommand(kIdcFirmwareStart);
  ASSERT_TRUE(PumpUntilIdle(10000));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find("aborted"), std::string::npos) << Boxes()[0];
  EXPECT_NE(Boxes()[0].find(CFlashDownload::PartlyWrittenAdvice()), std::string::npos)
      << Boxes()[0];
}

// Create Log makes the data log; View Log opens a copy of it, and the next
// View Log replaces that copy; clearing Create Log ends the log.
TEST_F(WindowTest, ViewLogOpensAFreshCopyOfTheLog) {
  Operator().m_bCreateLog = 1;
  m_pDlg->OnCommand(kIdcCreateLog);
  ASSERT_TRUE(static_cast<bool>(m_session.DataLog()));
  EXPECT_EQ(m_pView->Enabled(kIdcViewLog), 1);
  m_pDlg->OnCommand(kIdcViewLog);
  Sleep(1100);  // the copies are made a second apart, so they have two names
  m_pDlg->OnCommand(kIdcViewLog);
  ASSERT_EQ(m_pView->m_opened.size(), 2u);
  EXPECT_NE(m_pView->m_opened[0], m_pView->m_opened[1]);
  EXPECT_EQ(m_pView->m_opened[1].rfind(m_strHome + "/Output/SendrixLog", 0), 0u);
  EXPECT_TRUE(ReadWhole(m_pView->m_opened[0]).empty());  // removed
  std::vector<BYTE> copy = ReadWhole(m_pView->m_opened[1]);
  EXPECT_NE(std::string(copy.begin(), copy.end()).find("Start Log Recording."), std::string::npos);
  m_pView->m_nOpenResult = 0;  // no browser: said, with the copy's name
  m_pDlg->OnCommand(kIdcViewLog);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find(m_pView->m_opened.back()), std::string::npos) << Boxes()[0];
  Operator().m_bCreateLog = 0;
  m_pDlg->OnCommand(kIdcCreateLog);
  EXPECT_FALSE(static_cast<bool>(m_session.DataLog()));
  EXPECT_EQ(m_pView->Enabled(kIdcViewLog), 0);
}

}  // namespace
