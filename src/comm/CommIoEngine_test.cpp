#include "comm/CommIoEngine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "platform/LastError.h"
#include "testsupport/SocketTestSupport.h"

namespace {

class CommIoEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, m_fds), 0);
    fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
    int small = 4096;
    setsockopt(m_fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(m_fds[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    m_ov.hEvent = &m_event;
  }
  void TearDown() override {
    m_engine.CancelFd(m_fds[0], ERROR_OPERATION_ABORTED);
    for (int fd : m_fds) {
      if (fd >= 0)
        close(fd);
    }
  }
  CommIoRequest Request() {
    CommIoRequest r;
    r.fd = m_fds[0];
    r.socket = true;
    r.ov = &m_ov;
    return r;
  }

  int m_fds[2] = {-1, -1};
  CEvent m_event{true, false};
  OVERLAPPED m_ov;
  CCommIoEngine m_engine;
};

TEST_F(CommIoEngineTest, ReadCompletesAtOnceOrWhenDataArrives) {
  BYTE buf[512];
  DWORD n = 0;
  ASSERT_EQ(write(m_fds[1], "abc", 3), 3);
  ASSERT_EQ(m_engine.Read(Request(), buf, sizeof buf, &n), 1);
  EXPECT_EQ(n, 3u);
  EXPECT_TRUE(m_event.IsSet());  // an immediate completion also signals

  ASSERT_EQ(m_engine.Read(Request(), buf, sizeof buf, &n), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_FALSE(m_event.IsSet());
  ASSERT_EQ(write(m_fds[1], "hello", 5), 5);
  ASSERT_EQ(WaitForSingleObject(&m_event, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetOverlappedResult(nullptr, &m_ov, &n, FALSE));
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 5), "hello");
}

// Large writes finished by the I/O thread byte-exact: EngineEndToEnd.

TEST_F(CommIoEngineTest, CancelCompletesPendingWith995) {
  BYTE buf[64];
  DWORD n = 0;
  ASSERT_EQ(m_engine.Read(Request(), buf, sizeof buf, &n), 0);
  m_engine.CancelFd(m_fds[0], ERROR_OPERATION_ABORTED);
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(m_engine.PendingCount(), 0u);
  // (End of stream and its failure report: TcpBackend_test.cpp, a printer
  // that closes the connection.)
}

TEST_F(CommIoEngineTest, StalledWriteTimesOutWithShortCount) {
  std::vector<BYTE> data(400000, 0x55);
  CommIoRequest r = Request();
  r.idleTimeoutMs = 100;
  DWORD n = 0;
  ASSERT_EQ(m_engine.Write(r, data.data(), data.size(), &n), 0);
  ASSERT_EQ(WaitForSingleObject(&m_event, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetOverlappedResult(nullptr, &m_ov, &n, FALSE));
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, data.size());
}

TEST_F(CommIoEngineTest, GatedWriteWaitsForTheGate) {
  std::atomic<bool> open{false};
  CommIoRequest r = Request();
  r.gate = [&] { return open.load(); };
  DWORD n = 0;
  ASSERT_EQ(m_engine.Write(r, "xyz", 3, &n), 0);
  EXPECT_EQ(WaitForSingleObject(&m_event, 100), WAIT_TIMEOUT);
  BYTE probe;
  EXPECT_LT(recv(m_fds[1], &probe, 1, MSG_DONTWAIT), 0);  // nothing went out
  open = true;
  ASSERT_EQ(WaitForSingleObject(&m_event, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(RecvAll(m_fds[1], 3), "xyz");
}

}  // namespace
