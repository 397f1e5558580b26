#include "comm/CommIoEngine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "platform/LastError.h"

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
  // Reads exactly n bytes from the peer, bounded by time.
  std::vector<BYTE> Drain(size_t n) {
    std::vector<BYTE> out;
    BYTE buf[8192];
    for (int i = 0; i < 5000 && out.size() < n; ++i) {
      ssize_t r = recv(m_fds[1], buf, sizeof buf, MSG_DONTWAIT);
      if (r > 0) {
        out.insert(out.end(), buf, buf + r);
      } else {
        usleep(1000);
      }
    }
    return out;
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

TEST_F(CommIoEngineTest, LargeWriteIsFinishedByTheIoThreadByteExact) {
  std::vector<BYTE> data(300000);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<BYTE>(i * 7 + (i >> 9));
  DWORD n = 0;
  ASSERT_EQ(m_engine.Write(Request(), data.data(), data.size(), &n), 0);
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  std::vector<BYTE> got = Drain(data.size());
  ASSERT_EQ(WaitForSingleObject(&m_event, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetOverlappedResult(nullptr, &m_ov, &n, FALSE));
  EXPECT_EQ(n, data.size());
  EXPECT_EQ(got, data);
}

TEST_F(CommIoEngineTest, CancelCompletesPendingWith995AndEndOfStreamFails) {
  BYTE buf[64];
  DWORD n = 0;
  ASSERT_EQ(m_engine.Read(Request(), buf, sizeof buf, &n), 0);
  m_engine.CancelFd(m_fds[0], ERROR_OPERATION_ABORTED);
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(m_engine.PendingCount(), 0u);

  std::atomic<int> failures{0};
  CommIoRequest r = Request();
  r.context = &failures;
  r.tag = 7;
  r.onFailure = [](void* context, uint64_t tag, DWORD error) {
    EXPECT_EQ(error, ERROR_BROKEN_PIPE);
    EXPECT_EQ(tag, 7u);
    ++*static_cast<std::atomic<int>*>(context);
  };
  ASSERT_EQ(m_engine.Read(r, buf, sizeof buf, &n), 0);
  close(m_fds[1]);
  m_fds[1] = -1;
  ASSERT_EQ(WaitForSingleObject(&m_event, 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(GetOverlappedResult(nullptr, &m_ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  for (int i = 0; i < 500 && failures == 0; ++i)
    usleep(1000);
  EXPECT_EQ(failures, 1);
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
  EXPECT_EQ(Drain(3), (std::vector<BYTE>{'x', 'y', 'z'}));
}

}  // namespace
