#include "testsupport/EngineTestSupport.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "comm/Cablox.h"
#include "comm/CommBackendRegistry.h"
#include "engine/TransferEngine.h"
#include "log/DataLog.h"
#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "report/ErrorBoxes.h"
#include "testsupport/CodecTestSupport.h"
#include "texts/TextFunctions.h"

void CEngineTest::SetUp() {
  const char* base = std::getenv("SENDRIX_TEST_TMP");
  std::string root = base != nullptr && *base != '\0' ? base : "/tmp";
  std::filesystem::create_directories(root);
  std::string templ = root + "/engine-XXXXXX";
  ASSERT_NE(mkdtemp(templ.data()), nullptr);
  m_strHome = templ;
  std::filesystem::create_directories(m_strHome + "/Output");
  setenv("SENDRIX_HOME", m_strHome.c_str(), 1);
  SetNotifier(&m_notifier);
  g_pfnErrorGetText.store(&FakeErrorText);
  SetErrorLog(m_pLog);
  m_engine.SetEvents(&m_events);
  m_engine.SetRepeatParams(0, 1, 0);
}

void CEngineTest::Connect(int type) {
  m_nType = type;
  Comm_CloseCleanuo();
  Comm_RegisterBackendFactory(type, [this] { return m_link.MakeBackend(); });
  ASSERT_NE(Comm_OpenSetup(&m_window, type), 0);
  DWORD port = 0;
  int p[5] = {};
  ASSERT_NE(Comm_UpdateConnection(0, port, nullptr, p[0], p[1], p[2], p[3], p[4]), 0);
  m_engine.SetConnectionParams(type, 0, 0, 0, m_link.usmChannel ? 1 : 0,
                               type == COMM_TYPE_USB ? 1 : 0);
  m_bConnected = true;
}

void CEngineTest::TearDown() {
  m_engine.Shutdown();
  m_io.transferFile.Close();
  m_io.rxDataFile.Close();
  if (m_bConnected) {
    Comm_CloseCleanuo();
    Comm_RegisterBackendFactory(m_nType, nullptr);
  }
  RemoveErrorLog(m_pLog);
  m_pLog->Reset(nullptr);
  m_engine.SetEvents(nullptr);
  g_pfnErrorGetText.store(nullptr);
  g_pfnCommErrorGetText.store(nullptr);
  SetNotifier(nullptr);
  std::error_code ec;
  std::filesystem::remove_all(m_strHome, ec);
}

void CEngineTest::StartLog() {
  m_pLog->Reset(std::make_shared<CDataLog>("OS Version = test"));
}

std::string CEngineTest::StopLog() {
  std::shared_ptr<CDataLog> log = m_pLog->Get();
  if (!log)
    return "";
  std::string name = log->FileName();
  std::weak_ptr<CDataLog> watch = log;
  m_pLog->Reset(nullptr);
  log.reset();
  // A worker that was logging a moment ago may hold the last reference; the
  // file is complete only once that reference is gone (flushed and closed).
  for (int i = 0; i < 500 && !watch.expired(); ++i)
    Sleep(10);
  std::vector<BYTE> bytes = ReadWhole(name);
  return std::string(bytes.begin(), bytes.end());
}

bool WaitForFeed(const CRxFeed& feed, size_t count, DWORD timeoutMs) {
  constexpr DWORD kPollMs = 2;
  for (DWORD waited = 0; feed.HeldBytes() < count; waited += kPollMs) {
    if (waited >= timeoutMs)
      return false;
    Sleep(kPollMs);
  }
  return true;
}

std::vector<BYTE> TakeAll(CRxFeed& feed) {
  std::vector<CRxFeed::Block> blocks;
  const size_t count = feed.Take(&blocks);
  std::vector<BYTE> all;
  for (const CRxFeed::Block& b : blocks)
    all.insert(all.end(), b.begin(), b.end());
  EXPECT_EQ(all.size(), count);
  feed.Recycle(&blocks);
  return all;
}

std::vector<BYTE> TestPattern(size_t size, unsigned seed) {
  std::vector<BYTE> bytes(size);
  unsigned x = seed;
  for (BYTE& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<BYTE>(x >> 16);
  }
  return bytes;
}

std::string CEngineTest::MakeFile(const std::string& name, size_t size, unsigned seed) {
  std::string path = m_strHome + "/" + name;
  std::vector<BYTE> bytes = TestPattern(size, seed);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<BYTE> CEngineTest::ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CEngineTest::ExpectOneDone(DWORD timeoutMs) {
  ASSERT_TRUE(m_events.WaitForCount(EventKind::kDone, 1, timeoutMs));
  Sleep(30);
  EXPECT_EQ(m_events.Count(EventKind::kDone), 1u);
}

void CReaderTest::SetUp() {
  CEngineTest::SetUp();
  m_link.usmChannel = true;
  Connect(COMM_TYPE_USB);
  m_strRxFile = m_strHome + "/Output/RxData.bin";
  ASSERT_EQ(m_io.rxDataFile.Open(m_strRxFile, CMyFile::kModeWrite, 0), 1);
}

bool CReaderTest::WaitForRing(CRingBuffer& ring, DWORD count) {
  return ring.WaitForCount(count, 5000, nullptr) == 1;
}

std::vector<BYTE> CReaderTest::Take(CRingBuffer& ring, size_t n) {
  std::vector<BYTE> v;
  for (size_t i = 0; i < n; ++i)
    v.push_back(ring.Get());
  return v;
}

std::vector<std::vector<BYTE>> ParseLogDumps(const std::string& log) {
  std::vector<std::vector<BYTE>> dumps;
  for (size_t pos = 0; (pos = log.find("<h4>", pos)) != std::string::npos;) {
    size_t end = log.find("</h4>", pos);
    if (end == std::string::npos)
      break;
    std::vector<BYTE> bytes;
    for (size_t row = pos + 4; row < end;) {
      size_t eol = std::min(log.find("\r\n", row), end);
      for (int i = 0; i < 16; ++i) {
        size_t col = row + 6 + i * 3 + i / 4;
        if (col + 1 >= eol || log[col] == ' ')
          break;
        bytes.push_back(static_cast<BYTE>(std::stoi(log.substr(col, 2), nullptr, 16)));
      }
      row = eol + 2;
    }
    dumps.push_back(bytes);
    pos = end;
  }
  return dumps;
}
