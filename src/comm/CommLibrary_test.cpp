#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "comm/Cablox.h"
#include "comm/CommBackendRegistry.h"
#include "platform/AppMessages.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"

namespace {

// Records what the library forwards; channels exist while "connected".
struct FakeState {
  int setups = 0, cleanups = 0, breakdowns = 0, writes = 0, reads = 0;
  int lastReadChannel = -1;
  int lastCapacity = 0;
  bool connected = false;
  ICommErrorSink* errors = nullptr;
};

class CFakeBackend : public ICommBackend {
 public:
  explicit CFakeBackend(FakeState* s) : m_s(s) {}
  int Setup(ICommErrorSink* errors) override {
    m_s->errors = errors;
    return ++m_s->setups;
  }
  void Cleanup() override { ++m_s->cleanups; }
  unsigned IsConnectionValid(DWORD, int, int, int, int, int, int) override {
    return m_s->connected ? 0 : 2;
  }
  int UpdateConnection(int, DWORD&, char*, int& baudMainOrOutput, int&, int&, int&, int&) override {
    baudMainOrOutput = 42;
    m_s->connected = true;
    return 1;
  }
  int BreakDown() override {
    ++m_s->breakdowns;
    m_s->connected = false;
    return 1;
  }
  int IsConnected() override { return m_s->connected; }
  int IsPortAvailable() override { return m_s->connected; }
  bool HasChannel(int channel) override { return m_s->connected && channel != COMM_CHANNEL_RX_USM; }
  int Write(const void*, DWORD length, DWORD* written, OVERLAPPED* ov) override {
    ++m_s->writes;
    *written = length;
    CompleteOverlapped(ov, 0, length);
    return 1;
  }
  int Read(int channel, void*, DWORD, DWORD*, OVERLAPPED* ov) override {
    ++m_s->reads;
    m_s->lastReadChannel = channel;
    BeginOverlapped(ov);
    SetLastError(ERROR_IO_PENDING);
    return 0;
  }
  CommPacketSizes PacketSizes() override { return {1024, 128, 2048}; }
  DWORD ReadTimeout() override { return 20; }
  int InitGetDeviceStatus(void*, DWORD, DWORD*, OVERLAPPED&) override { return 0; }
  int GetDeviceStatus(void*, DWORD, DWORD&) override { return 0; }
  int IsDevicePresent() override { return 1; }
  int GetPortParams(int&, int&, const char*, int& count, char (*table)[128],
                    int capacity) override {
    m_s->lastCapacity = capacity;  // every row it may fill, the first one "fake0"
    for (count = 0; count < capacity; ++count)
      std::snprintf(table[count], 128, "fake%d", count);
    return 1;
  }
  int SetDeviceParams(const char*) override { return 1; }
  void ShowPortProperties(char*, size_t) override {}

 private:
  FakeState* m_s;
};

class CommLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Comm_CloseCleanuo();
    for (int type = 0; type < 3; ++type) {
      Comm_RegisterBackendFactory(type, [this] { return std::make_unique<CFakeBackend>(&m_s); });
    }
  }
  void TearDown() override {
    Comm_CloseCleanuo();
    for (int type = 0; type < 3; ++type)
      Comm_RegisterBackendFactory(type, nullptr);
  }
  FakeState m_s;
  CMessageQueue m_owner;
};

TEST_F(CommLibraryTest, SetupConnectAndCleanupFollowTheBackend) {
  // Without a set-up, calls fail or give defaults.
  EXPECT_EQ(Comm_IsOpened(), 0);
  EXPECT_EQ(Comm_IsConnectionValid(0, 3, 0, 0, 0, 0, 0), 2u);
  char buf[8] = {};
  DWORD n = 0;
  EXPECT_EQ(Comm_WritePort(Comm_GethCommPortTX(), buf, 1, &n, Comm_GetOverlappedTX()), 0);
  EXPECT_EQ(Comm_IsPortAvailable(), 0);
  EXPECT_GT(Comm_GetCommPacketSize(), 0u);
  EXPECT_LE(Comm_GetCommPacketSize(), Comm_GetDownloadPacketSize());
  EXPECT_GT(Comm_GetReadTimeout(), 0u);
  char props[8192] = {};
  Comm_ShowPortProperties(props);
  EXPECT_GT(std::strlen(props), 0u);

  ASSERT_NE(Comm_OpenSetup(&m_owner, COMM_TYPE_SERIAL), 0);
  EXPECT_EQ(Comm_IsOpened(), 1);
  EXPECT_EQ(Comm_OpenSetup(&m_owner, COMM_TYPE_SERIAL), 0);  // already set up
  EXPECT_EQ(m_s.setups, 1);

  EXPECT_EQ(Comm_GethCommPortTX(), nullptr);
  DWORD port = 0;
  int p[5] = {};
  ASSERT_EQ(Comm_UpdateConnection(0, port, nullptr, p[0], p[1], p[2], p[3], p[4]), 1);
  EXPECT_EQ(p[0], 42);
  EXPECT_EQ(Comm_IsConnected(), 1);
  EXPECT_NE(Comm_GethCommPortTX(), nullptr);
  EXPECT_NE(Comm_GethCommPortRX(), nullptr);
  EXPECT_EQ(Comm_GethCommPortRXUsm(), nullptr);
  EXPECT_NE(Comm_GethCommPortTX(), Comm_GethCommPortRX());

  EXPECT_EQ(Comm_BreakDownCommPort(), 1);
  EXPECT_EQ(Comm_IsConnected(), 0);
  Comm_CloseCleanuo();
  EXPECT_EQ(Comm_IsOpened(), 0);
  EXPECT_EQ(m_s.cleanups, 1);
  EXPECT_EQ(m_s.breakdowns, 2);  // close-cleanup breaks down too
}

TEST_F(CommLibraryTest, ReadsAndWritesGoToTheChannelOfTheirHandle) {
  ASSERT_NE(Comm_OpenSetup(&m_owner, COMM_TYPE_TCPIP), 0);
  DWORD port = 0;
  int p[5] = {};
  Comm_UpdateConnection(0, port, nullptr, p[0], p[1], p[2], p[3], p[4]);
  char buf[16] = "abc";
  DWORD n = 0;
  EXPECT_EQ(Comm_WritePort(Comm_GethCommPortRX(), buf, 3, &n, Comm_GetOverlappedTX()), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Comm_WritePort(Comm_GethCommPortTX(), buf, 3, &n, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Comm_WritePort(Comm_GethCommPortTX(), buf, 3, &n, Comm_GetOverlappedTX()), 1);
  EXPECT_EQ(n, 3u);
  EXPECT_TRUE(Comm_GetOverlappedTX()->hEvent->IsSet());
  EXPECT_TRUE(Comm_GetOverlappedTX()->hEvent->IsManualReset());

  EXPECT_EQ(Comm_ReadPort(Comm_GethCommPortRX(), buf, 16, &n, Comm_GetOverlappedRX()), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(m_s.lastReadChannel, COMM_CHANNEL_RX);
  EXPECT_EQ(Comm_ReadPort(Comm_GethCommPortTX(), buf, 16, &n, Comm_GetOverlappedRX()), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(m_s.reads, 1);

  EXPECT_EQ(Comm_GetStringPacketSize(), 128u);
  EXPECT_EQ(Comm_GetDownloadPacketSize(), 2048u);

  int usm = 0, rt = 0, count = 0;
  static char table[255][128];
  EXPECT_EQ(Comm_GetPortParams(usm, rt, nullptr, count, table), 1);
  EXPECT_EQ(m_s.lastCapacity, 255);  // discovery table
  EXPECT_EQ(Comm_GetPortParams(usm, rt, "COM", count, table), 1);
  EXPECT_EQ(m_s.lastCapacity, 50);
  std::vector<std::string> names;  // the name lists' table holds what the library may write
  EXPECT_EQ(Comm_GetPortNames(usm, rt, nullptr, names), 1);
  EXPECT_EQ(names.size(), 255u);
  EXPECT_EQ(names[254], "fake254");
}

TEST_F(CommLibraryTest, ErrorsReachTheOwnerWithRecordsThatStayValid) {
  Comm_RegisterBackendFactory(COMM_TYPE_USB, [] { return std::unique_ptr<ICommBackend>(); });
  EXPECT_EQ(Comm_OpenSetup(&m_owner, COMM_TYPE_USB), 0);
  ASSERT_EQ(m_owner.Count(WM_SHOW_ERROR), 1u);
  EXPECT_EQ(m_owner.Filter(WM_SHOW_ERROR)[0].wParam, 12u);

  ASSERT_NE(Comm_OpenSetup(&m_owner, COMM_TYPE_SERIAL), 0);
  ICommErrorSink* sink = m_s.errors;
  ASSERT_NE(sink, nullptr);
  std::string longText(300, 'x');
  sink->ShowCommError(1, "/dev/ttyS0", longText.c_str());
  sink->ShowCommError(1, "/dev/ttyS0", longText.c_str());  // repeated at once: dropped
  sink->ShowCommError(2, "/dev/ttyS1", nullptr);
  sink->LogSystemError(5);
  auto shown = m_owner.Filter(WM_SHOW_ERROR);
  ASSERT_EQ(shown.size(), 3u);
  auto* first = reinterpret_cast<const COMM_ERROR_RECORD*>(shown[1].lParam);
  auto* second = reinterpret_cast<const COMM_ERROR_RECORD*>(shown[2].lParam);
  EXPECT_STREQ(first->szText1, "/dev/ttyS0");
  EXPECT_EQ(std::strlen(first->szText2), 127u);  // cut, still terminated
  EXPECT_STREQ(second->szText1, "/dev/ttyS1");
  EXPECT_STREQ(second->szText2, "");
  EXPECT_EQ(shown[2].wParam, 2u);
  ASSERT_EQ(m_owner.Count(WM_LOG_SYSTEM_ERROR), 1u);
  EXPECT_EQ(m_owner.Filter(WM_LOG_SYSTEM_ERROR)[0].wParam, 5u);
}

}  // namespace
