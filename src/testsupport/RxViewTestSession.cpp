#include "testsupport/RxViewTestSession.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "comm/Cablox.h"
#include "platform/Notifier.h"

CRxViewTestSession::CRxViewTestSession() {
  const char* base = std::getenv("SENDRIX_TEST_TMP");
  std::string root = base != nullptr && *base != '\0' ? base : "/tmp";
  std::filesystem::create_directories(root);
  std::string templ = root + "/rxview-XXXXXX";
  if (mkdtemp(templ.data()) != nullptr)
    m_strHome = templ;
  std::filesystem::create_directories(m_strHome + "/Output");
  setenv("SENDRIX_HOME", m_strHome.c_str(), 1);
  SetNotifier(&m_notifier);
}

CRxViewTestSession::~CRxViewTestSession() {
  m_session.Engine().Shutdown();
  m_session.RxDataFile().Close();
  if (m_bOpen)
    Comm_CloseCleanuo();
  if (m_pSim)
    m_pSim->Stop();
  SetNotifier(nullptr);
  std::error_code ec;
  std::filesystem::remove_all(m_strHome, ec);
}

bool CRxViewTestSession::Connect(const std::string& streamFile, bool withUsm) {
  SIM_OPTIONS options;
  options.nMainPort = 0;
  options.nRtPort = 0;
  options.nUsmPort = 0;
  options.strStreamFile = streamFile;
  m_pSim = std::make_unique<CPrinterSim>(options);
  std::string error;
  if (!m_pSim->Start(error) || !Comm_OpenSetup(&m_window, COMM_TYPE_TCPIP))
    return false;
  m_bOpen = true;
  DWORD address = 0x7F000001;  // 127.0.0.1
  char mac[50] = {};
  int mainPort = m_pSim->GetMainPort(), usm = withUsm ? m_pSim->GetUsmPort() : 0, rt = 0;
  int outputSel = 0, completion = 0;
  if (!Comm_UpdateConnection(0, address, mac, mainPort, usm, rt, outputSel, completion))
    return false;
  m_session.Engine().SetConnectionParams(COMM_TYPE_TCPIP, 0, 0, rt, usm, 0);
  constexpr int kPeerWaitMs = 10000;
  return m_session.Engine().StartReaders() == 1 &&
         (!withUsm || m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.nUsmConnections > 0; },
                                      kPeerWaitMs));
}

std::vector<BYTE> CRxViewTestSession::Pattern(size_t size, unsigned seed) {
  std::vector<BYTE> bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    bytes[i] = static_cast<BYTE>(x >> 24);
  }
  return bytes;
}

std::vector<BYTE> CRxViewTestSession::ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool CRxViewTestSession::WriteWhole(const std::string& path, const std::vector<BYTE>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}
