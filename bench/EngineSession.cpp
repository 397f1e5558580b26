#include "EngineSession.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "BenchTools.h"
#include "comm/Cablox.h"
#include "firmware/FlashDownload.h"
#include "log/DataLog.h"

CEngineSession::CEngineSession() {
  m_session.Engine().SetEvents(&m_events);
  m_session.Engine().SetRepeatParams(0, 1, 0);
}

CEngineSession::~CEngineSession() {
  Close();
}

bool CEngineSession::ConnectTcp(int port, int usmPort) {
  if (!Comm_OpenSetup(&m_window, COMM_TYPE_TCPIP))
    return false;
  m_bOpen = true;
  DWORD address = 0x7F000001;  // 127.0.0.1
  char mac[50] = {};
  int mainPort = port, usm = usmPort, rt = 0, outputSel = 0, completion = 0;
  if (!Comm_UpdateConnection(0, address, mac, mainPort, usm, rt, outputSel, completion)) {
    return false;
  }
  m_session.Engine().SetConnectionParams(COMM_TYPE_TCPIP, 0, 0, rt, usm, 0);
  return true;
}

bool CEngineSession::ConnectPty(const std::string& slavePath) {
  if (!Comm_OpenSetup(&m_window, COMM_TYPE_SERIAL))
    return false;
  m_bOpen = true;
  DWORD port = 0;
  std::vector<char> name(slavePath.begin(), slavePath.end());
  name.push_back('\0');
  int baud = 0, parity = 0, handshake = 0, dataBits = 3, stopBits = 0;  // 115200 8N1
  if (!Comm_UpdateConnection(0, port, name.data(), baud, parity, handshake, dataBits, stopBits)) {
    return false;
  }
  m_session.Engine().SetConnectionParams(COMM_TYPE_SERIAL, port, 0, 0, 0, 1);
  return true;
}

bool CEngineSession::StartReceiving(const std::string& outPath) {
  return OpenReceivedData(outPath) && StartReaders();
}

bool CEngineSession::OpenReceivedData(const std::string& outPath) {
  return m_session.RxDataFile().Open(outPath, CMyFile::kModeWrite, 0) == 1;
}

bool CEngineSession::StartReaders() {
  return m_session.Engine().StartReaders() == 1;
}

bool CEngineSession::StartFileTransfer(const std::string& path) {
  if (m_session.TransferFile().Open(path, CMyFile::kModeRead, 0) != 1)
    return false;
  if (!m_session.Engine().StartTransmitThreads())
    return false;
  ResetEvent(m_session.AbortEvent());
  m_session.FileJob().Set();
  return true;
}

bool CEngineSession::WaitForDone(size_t count, double timeoutS) {
  return m_events.WaitForCount(EventKind::kDone, count, static_cast<DWORD>(timeoutS * 1000));
}

double CEngineSession::DownloadFirmware(const std::string& image) {
  if (!m_session.Engine().StartReaders())
    return -1;
  double seconds = -1;
  {
    CFlashDownload flash(m_session.Engine(), &m_events, [](int) { return 1; });
    if (m_session.TransferFile().Open(image, CMyFile::kModeRead, 0) != 1)
      return -1;
    m_session.RxDataBuffer().Reset();
    ResetEvent(m_session.AbortEvent());
    size_t before = m_events.Count(EventKind::kDone);
    double t0 = NowSeconds();
    flash.Start();
    if (WaitForDone(before + 1, 120))
      seconds = NowSeconds() - t0;
  }
  size_t green = 0;
  for (const RecordedEvent& e : m_events.Filter(EventKind::kFlashStep))
    green += e.detail == static_cast<std::int64_t>(FlashStepState::kPassed) ? 1 : 0;
  return green == 5 && m_events.Count(EventKind::kFlashCrc) == 1 ? seconds : -1;
}

void CEngineSession::Close() {
  m_session.Engine().Shutdown();
  m_session.TransferFile().Close();
  m_session.RxDataFile().Close();
  if (m_bOpen)
    Comm_CloseCleanuo();
  m_bOpen = false;
  m_session.Engine().SetEvents(nullptr);
}

double CEngineSession::TimeFileTransfer(CByteSink& sink, bool (CEngineSession::*connect)(),
                                        const std::string& file) {
  sink.Start();
  CEngineSession session;
  session.m_pSink = &sink;
  if (!(session.*connect)())
    return -1;
  double t0 = NowSeconds();
  if (!session.StartFileTransfer(file))
    return -1;
  double done = sink.WaitDone(600);
  session.WaitForDone(1, 60);
  return done < 0 ? -1 : done - t0;
}

bool CEngineSession::ConnectSinkTcp() {
  return ConnectTcp(m_pSink->Port());
}

bool CEngineSession::ConnectSinkPty() {
  return ConnectPty(m_pSink->SlavePath());
}

double CEngineSession::SendOverTcp(const std::string& file) {
  CByteSink sink(FileSize(file));
  if (!sink.ListenTcp())
    return -1;
  return TimeFileTransfer(sink, &CEngineSession::ConnectSinkTcp, file);
}

double CEngineSession::SendOverPty(const std::string& file) {
  CByteSink sink(FileSize(file));
  if (!sink.OpenPty())
    return -1;
  return TimeFileTransfer(sink, &CEngineSession::ConnectSinkPty, file);
}

namespace {

constexpr int kLogThreads = 4;
constexpr size_t kLogBlock = 1000;  // bytes per dump, as a display block might be

BYTE LogPattern(int thread, size_t offset) {
  return static_cast<BYTE>(thread * 61 + offset * 7 + (offset >> 9));
}

int HexValue(char c) {
  return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Walks the log's entries: each "T<thread> <seq>" line with its dump.
// True when every thread's bytes come back whole and in order.
bool CheckLog(const std::string& text, size_t perThread) {
  std::vector<size_t> got(kLogThreads, 0);
  std::vector<long> lastSeq(kLogThreads, -1);
  size_t pos = 0;
  while ((pos = text.find(" : T", pos)) != std::string::npos) {
    // strtol, not sscanf: sscanf measures the whole rest of the text first.
    char* next = nullptr;
    const int thread = static_cast<int>(std::strtol(text.c_str() + pos + 4, &next, 10));
    const long seq = std::strtol(next, nullptr, 10);
    if (thread < 0 || thread >= kLogThreads || seq != lastSeq[thread] + 1)
      return false;
    lastSeq[thread] = seq;
    size_t dump = text.find("<h4>", pos);
    size_t end = text.find("</h4>", dump);
    if (dump == std::string::npos || end == std::string::npos)
      return false;
    for (size_t row = dump + 4; row < end;) {
      size_t eol = std::min(text.find("\r\n", row), end);
      for (int i = 0; i < 16; ++i) {
        size_t col = row + 6 + i * 3 + i / 4;
        if (col + 1 >= eol || text[col] == ' ')
          break;
        BYTE b = static_cast<BYTE>(HexValue(text[col]) * 16 + HexValue(text[col + 1]));
        if (b != LogPattern(thread, got[thread]))
          return false;
        ++got[thread];
      }
      row = eol + 2;
    }
    pos = end;
  }
  for (size_t n : got) {
    if (n != perThread)
      return false;
  }
  return true;
}

}  // namespace

bool CEngineSession::LogLossless(const std::string& dir, int mib, double* mibPerS) {
  setenv("SENDRIX_HOME", dir.c_str(), 1);
  mkdir((dir + "/Output").c_str(), 0755);
  const size_t perThread = (static_cast<size_t>(mib) << 20) / kLogThreads;
  double t0 = NowSeconds();
  auto log = std::make_shared<CDataLog>("OS Version = bench");
  std::string name = log->FileName();
  CDataLogHolder holder;
  holder.Reset(log);
  log.reset();
  std::vector<std::thread> threads;
  for (int t = 0; t < kLogThreads; ++t) {
    threads.emplace_back([t, perThread, &holder] {
      std::vector<BYTE> block(kLogBlock);
      char text[32];
      for (size_t done = 0, seq = 0; done < perThread; ++seq) {
        size_t n = std::min(kLogBlock, perThread - done);
        for (size_t i = 0; i < n; ++i)
          block[i] = LogPattern(t, done + i);
        std::snprintf(text, sizeof text, "T%d %zu\n", t, seq);
        holder->Log(text, block.data(), static_cast<DWORD>(n));
        done += n;
      }
    });
  }
  for (std::thread& th : threads)
    th.join();
  holder.Reset(nullptr);  // the last reference: the file is complete
  double seconds = NowSeconds() - t0;
  *mibPerS = seconds > 0 ? mib / seconds : 0;
  std::ifstream in(name, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  bool ok = CheckLog(all.str(), perThread);
  std::fprintf(stderr, "log: %d MiB in %.3f s, file %zu bytes\n", mib, seconds, all.str().size());
  std::remove(name.c_str());
  return ok;
}
