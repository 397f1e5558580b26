#include "comm/TcpBackend.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "comm/Cablox.h"
#include "platform/LastError.h"
#include "testsupport/RecordingErrorSink.h"
#include "testsupport/SocketTestSupport.h"

namespace {

constexpr DWORD kLoopback = 0x7F000001;

// A loopback listener on an ephemeral port.
struct Listener {
  int fd = -1;
  int port = 0;
  explicit Listener(int backlog = 4) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, backlog);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() { close(fd); }
  int Accept() {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 3000) <= 0)
      return -1;
    return accept(fd, nullptr, nullptr);
  }
};

class TcpBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_backend.Setup(&m_sink);
    m_tx.hEvent = &m_txEvent;
    m_rx.hEvent = &m_rxEvent;
    m_usm.hEvent = &m_usmEvent;
  }
  void TearDown() override {
    m_backend.Cleanup();
    for (int fd : m_peers)
      close(fd);
  }
  int Connect(int mainPort, int rtPort, int usmPort, int outputSel) {
    DWORD addr = kLoopback;
    m_usmFlag = usmPort;
    m_rtFlag = rtPort;
    m_completion = 0;
    std::memset(m_mac, 'z', sizeof m_mac);
    return m_backend.UpdateConnection(0, addr, m_mac, mainPort, m_usmFlag, m_rtFlag, outputSel,
                                      m_completion);
  }

  CRecordingErrorSink m_sink;
  CTcpBackend m_backend;
  std::vector<int> m_peers;
  char m_mac[50];
  int m_usmFlag = 0, m_rtFlag = 0, m_completion = 0;
  CEvent m_txEvent{true, false}, m_rxEvent{true, false}, m_usmEvent{true, false};
  OVERLAPPED m_tx, m_rx, m_usm;
};

TEST_F(TcpBackendTest, ThreeConnectionsCarryTheirOwnTraffic) {
  Listener main, rt, usm;
  ASSERT_EQ(Connect(main.port, rt.port, usm.port, 0), 1);
  EXPECT_EQ(m_completion, 1);
  EXPECT_EQ(m_rtFlag, 1);
  EXPECT_EQ(m_usmFlag, 1);
  EXPECT_STREQ(m_mac, "");  // loopback has no neighbour entry
  int mainPeer = main.Accept(), rtPeer = rt.Accept(), usmPeer = usm.Accept();
  m_peers = {mainPeer, rtPeer, usmPeer};
  ASSERT_GE(mainPeer, 0);
  EXPECT_TRUE(m_sink.Codes().empty());
  EXPECT_EQ(m_backend.IsConnectionValid(kLoopback, 8, main.port, 0, rt.port, usm.port, 0), 0u);
  EXPECT_EQ(m_backend.IsConnectionValid(kLoopback, 8, main.port, 1, rt.port, usm.port, 0), 1u);

  // (Large writes, and reads of the data and USM connections apart:
  // EngineEndToEnd's TCP cases.)
  DWORD n = 0;
  ASSERT_EQ(m_backend.Write("main", 4, &n, &m_tx), 1);
  EXPECT_EQ(RecvAll(mainPeer, 4), "main");
  char c;  // nothing went to the real-time connection
  EXPECT_LT(recv(rtPeer, &c, 1, MSG_DONTWAIT), 0);
}

TEST_F(TcpBackendTest, RealTimeOutputAndMissingChannels) {
  Listener main, rt;
  ASSERT_EQ(Connect(main.port, rt.port, 0, 1), 1);
  EXPECT_EQ(m_usmFlag, 0);
  EXPECT_EQ(m_rtFlag, 1);
  EXPECT_FALSE(m_backend.HasChannel(COMM_CHANNEL_RX_USM));
  int mainPeer = main.Accept(), rtPeer = rt.Accept();
  m_peers = {mainPeer, rtPeer};
  DWORD n = 0;
  ASSERT_EQ(m_backend.Write("RT", 2, &n, &m_tx), 1);
  EXPECT_EQ(RecvAll(rtPeer, 2), "RT");
  char c;
  EXPECT_LT(recv(mainPeer, &c, 1, MSG_DONTWAIT), 0);
  EXPECT_TRUE(m_sink.Codes().empty());
}

TEST_F(TcpBackendTest, ClosedByThePrinterIsNoticed) {
  Listener main;
  ASSERT_EQ(Connect(main.port, 0, 0, 0), 1);
  EXPECT_EQ(m_completion, 1);
  EXPECT_EQ(m_rtFlag, 0);
  int peer = main.Accept();
  ASSERT_GE(peer, 0);
  char buf[512];
  DWORD n = 0;
  ASSERT_EQ(m_backend.Read(COMM_CHANNEL_RX, buf, sizeof buf, &n, &m_rx), 0);
  close(peer);
  ASSERT_EQ(WaitForSingleObject(&m_rxEvent, 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_rx, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  for (int i = 0; i < 500 && m_sink.Codes().empty(); ++i)
    usleep(1000);
  ASSERT_EQ(m_sink.Codes().size(), 1u);
  EXPECT_EQ(m_sink.Codes()[0], COMM_ERR_CLOSED_BY_PEER);
  EXPECT_EQ(m_sink.Shown()[0].text1, "127.0.0.1:" + std::to_string(main.port));
  EXPECT_EQ(m_backend.IsConnected(), 1);  // until the break-down
  EXPECT_EQ(m_backend.IsConnectionValid(kLoopback, 8, main.port, 0, 0, 0, 0), 1u);
  m_backend.BreakDown();
  EXPECT_EQ(m_backend.IsConnectionValid(kLoopback, 8, main.port, 0, 0, 0, 0), 2u);
}

// A completed write only handed the bytes to the kernel: the output counts
// as sent once the printer has taken them, and as lost when the printer
// resets the connection first (a restart with bytes unread).
TEST_F(TcpBackendTest, OutputIsSentWhenThePrinterTookItAndLostWhenItResetFirst) {
  Listener main;
  const int small = 4096;  // the printer's window fills long before the write ends
  setsockopt(main.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  ASSERT_EQ(Connect(main.port, 0, 0, 0), 1);
  int peer = main.Accept();
  ASSERT_GE(peer, 0);
  static const std::vector<char> data(200000, 'x');
  DWORD pending = 0;
  for (int round = 0; round < 2; ++round) {
    DWORD written = 0;
    m_backend.Write(data.data(), static_cast<DWORD>(data.size()), &written, &m_tx);
    EXPECT_EQ(m_backend.WaitOutputSent(50, &pending), COMM_OUTPUT_PENDING);
    EXPECT_GT(pending, 0u);
    if (round == 0) {
      EXPECT_EQ(RecvAll(peer, data.size()).size(), data.size());
      ASSERT_EQ(WaitForSingleObject(&m_txEvent, 5000), WAIT_OBJECT_0);
      EXPECT_EQ(m_backend.WaitOutputSent(2000, &pending), COMM_OUTPUT_SENT);
    } else {
      close(peer);  // unread input: the kernel resets the connection
      EXPECT_EQ(m_backend.WaitOutputSent(2000, &pending), COMM_OUTPUT_LOST);
    }
  }
}

TEST_F(TcpBackendTest, BreakDownCompletesPendingOperationsWith995) {
  Listener main, usm;
  ASSERT_EQ(Connect(main.port, 0, usm.port, 0), 1);
  m_peers = {main.Accept(), usm.Accept()};
  char buf[512];
  DWORD n = 0;
  ASSERT_EQ(m_backend.Read(COMM_CHANNEL_RX, buf, sizeof buf, &n, &m_rx), 0);
  ASSERT_EQ(m_backend.Read(COMM_CHANNEL_RX_USM, buf, sizeof buf, &n, &m_usm), 0);
  std::vector<char> big(64 << 20, 'x');  // more than the socket buffers hold
  ASSERT_EQ(m_backend.Write(big.data(), big.size(), &n, &m_tx), 0);
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  m_backend.BreakDown();
  for (OVERLAPPED* ov : {&m_rx, &m_usm, &m_tx}) {
    EXPECT_FALSE(GetOverlappedResult(nullptr, ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  }
}

TEST_F(TcpBackendTest, RefusedAndTimedOutConnectionsFailWithinTheTimeOut) {
  int freePort;
  {
    Listener probe;
    freePort = probe.port;
  }
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Connect(freePort, 0, 0, 0), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ASSERT_EQ(m_sink.Codes().size(), 1u);
  EXPECT_EQ(m_sink.Codes()[0], COMM_ERR_TCP_CONNECT_FAILED);
  EXPECT_EQ(m_completion, 0);
  EXPECT_EQ(m_backend.IsConnected(), 0);

  // A listener whose queue is full drops further connection attempts.
  Listener full(0);
  std::vector<int> fillers;
  for (int i = 0; i < 3; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    a.sin_port = htons(static_cast<uint16_t>(full.port));
    connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(fd);
  }
  usleep(100000);
  start = std::chrono::steady_clock::now();
  int result = Connect(full.port, 0, 0, 0);
  auto took = std::chrono::steady_clock::now() - start;
  for (int fd : fillers)
    close(fd);
  EXPECT_LT(took, std::chrono::milliseconds(CTcpBackend::kConnectTimeoutMs + 1000));
  if (result == 0) {
    EXPECT_EQ(m_sink.Codes().back(), COMM_ERR_CONNECT_TIMEOUT);
  }
}

TEST(TcpNeighbourTableTest, MacComesFromACompleteEntry) {
  const std::string table =
      "IP address       HW type     Flags       HW address            Mask     Device\n"
      "10.0.0.9         0x1         0x2         02:11:22:aa:bb:0c     *        eth0\n"
      "10.0.0.10        0x1         0x0         00:00:00:00:00:00     *        eth0\n";
  EXPECT_EQ(CTcpBackend::MacFromNeighbourTable(table, 0x0A000009), "02-11-22-AA-BB-0C");
  EXPECT_EQ(CTcpBackend::MacFromNeighbourTable(table, 0x0A00000A), "");
  EXPECT_EQ(CTcpBackend::MacFromNeighbourTable(table, 0x7F000001), "");
}

}  // namespace
