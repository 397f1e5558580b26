#include "testsupport/SimTestSupport.h"

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"

std::string SimTransportName(const ::testing::TestParamInfo<SimTransport>& p) {
  return p.param == kTcp ? "Tcp" : "Pty";
}

FlashTimings QuickFlashTimings() {
  FlashTimings t;
  t.dwSettleMs = 30;
  t.dwReattachMs = 30;
  t.dwLeaveMs = 20;
  t.dwErasePolls = 5000;  // budgets only a silent printer waits out
  t.dwReplyPolls = 2000;
  return t;
}

void CSimTest::SetUp() {
  CEngineTest::SetUp();
  CFlashDownload::SetTimings(QuickFlashTimings());
}

void CSimTest::TearDown() {
  CFlashDownload::SetTimings(FlashTimings());
  CEngineTest::TearDown();
  if (m_pSim)
    m_pSim->Stop();
}

void CSimTest::StartSim(SimTransport transport, const std::vector<std::string>& faults,
                        SIM_OPTIONS o, bool both) {
  o.nMainPort = o.nRtPort = o.nUsmPort = 0;
  o.bTcp = transport == kTcp || both;
  if (transport == kPty || both)
    o.strPtyLink = PtyLink();
  std::string error;
  for (const std::string& f : faults)
    ASSERT_TRUE(o.faults.Add(f, error)) << error;
  m_pSim = std::make_unique<CPrinterSim>(o);
  ASSERT_TRUE(m_pSim->Start(error)) << error;
}

void CSimTest::ConnectSim(SimTransport transport, bool usm, int checkStatus) {
  const int type = transport == kTcp ? COMM_TYPE_TCPIP : COMM_TYPE_SERIAL;
  ASSERT_NE(Comm_OpenSetup(&m_window, type), 0);
  m_bConnected = true;
  m_nType = type;
  DWORD port = 0;
  int usmFlag = 0, rt = 0;
  if (transport == kTcp) {
    DWORD address = 0x7F000001;
    char mac[50] = {};
    int mainPort = m_pSim->GetMainPort(), sel = 0, done = 0;
    usmFlag = usm ? m_pSim->GetUsmPort() : 0;
    ASSERT_NE(Comm_UpdateConnection(0, address, mac, mainPort, usmFlag, rt, sel, done), 0);
  } else {
    std::string path = m_pSim->GetPtyPath();
    int baud = 0, parity = 0, handshake = 0, dataBits = 3, stopBits = 0;
    ASSERT_NE(
        Comm_UpdateConnection(0, port, path.data(), baud, parity, handshake, dataBits, stopBits),
        0);
  }
  m_engine.SetConnectionParams(type, port, 0, rt, usmFlag, checkStatus);
}

std::vector<std::string> CSimTest::Leds() const {
  std::vector<std::string> out;
  for (const RecordedEvent& e : m_events.Filter(EventKind::kFlashStep)) {
    if (e.detail != static_cast<std::int64_t>(FlashStepState::kBegun))
      out.push_back(std::to_string(e.value) + ":" + std::to_string(e.detail));
  }
  return out;
}
