#include "SimTestClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point end) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  return ms.count() < 0 ? 0 : static_cast<int>(ms.count());
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

}  // namespace

int ConnectTcp(int port, int timeoutMs) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) {
      close(fd);
      return -1;
    }
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (poll(&p, 1, timeoutMs) != 1 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
        error != 0) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

bool WriteAll(int fd, const Bytes& bytes, int timeoutMs) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    }
    pollfd p{fd, POLLOUT, 0};
    if (Remaining(end) == 0 || poll(&p, 1, Remaining(end)) < 0) {
      return false;
    }
  }
  return true;
}

Bytes ReadSome(int fd, size_t count, int timeoutMs) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Bytes result;
  uint8_t buffer[65536];
  while (result.size() < count) {
    pollfd p{fd, POLLIN, 0};
    const int left = Remaining(end);
    if (left == 0 || poll(&p, 1, left) <= 0) {
      break;
    }
    const size_t want = std::min(sizeof buffer, count - result.size());
    const ssize_t n = read(fd, buffer, want);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        continue;
      }
      break;
    }
    result.insert(result.end(), buffer, buffer + n);
  }
  return result;
}

bool WaitForClose(int fd, int timeoutMs) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  uint8_t buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int left = Remaining(end);
    if (left == 0 || poll(&p, 1, left) <= 0) {
      return false;
    }
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      return true;
    }
  }
}

std::string TempDir() {
  const char* base = std::getenv("SENDRIX_TEST_TMP");
  std::string root = base != nullptr ? base : "/tmp";
  mkdir(root.c_str(), 0700);
  std::string pattern = root + "/printer-sim-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    return "/tmp";
  }
  return pattern;
}

}  // namespace simtest
