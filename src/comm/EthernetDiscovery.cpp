#include "comm/EthernetDiscovery.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Clock.h"
#include "platform/LastError.h"

namespace {

// A UDP socket aimed at the target; -1 (errno set) on failure.
int OpenSocket() {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return -1;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  return fd;
}

// Waits for one datagram until `deadline`; its length, or -1 when none came.
ssize_t ReceiveUntil(int fd, char* buffer, size_t size, int64_t deadline) {
  for (;;) {
    int64_t left = deadline - static_cast<int64_t>(NowMs());
    if (left <= 0)
      return -1;
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0)
      continue;
    ssize_t n = recv(fd, buffer, size, 0);
    if (n >= 0)
      return n;
    if (errno != EAGAIN && errno != EINTR && errno != ECONNREFUSED)
      return -1;
  }
}

void ReportFailure(ICommErrorSink* errors, const std::string& target, int err) {
  if (errors == nullptr)
    return;
  errors->ShowCommError(COMM_ERR_DISCOVERY_FAILED, target.c_str(), std::strerror(err));
  errors->LogSystemError(ErrnoToWin32(err));
}

}  // namespace

bool CEthernetDiscovery::Target(sockaddr_in* addr, std::string* text, std::string* reason) {
  const char* host = std::getenv("SENDRIX_DISCOVERY_ADDR");
  const char* portText = std::getenv("SENDRIX_DISCOVERY_PORT");
  if (host == nullptr || *host == '\0')
    host = "255.255.255.255";
  long port = kDefaultPort;
  if (portText != nullptr && *portText != '\0') {
    char* end = nullptr;
    port = std::strtol(portText, &end, 10);
    if (*end != '\0' || port < 1 || port > 65535) {
      *reason = std::string("bad SENDRIX_DISCOVERY_PORT ") + portText;
      return false;
    }
  }
  *text = std::string(host) + ":" + std::to_string(port);
  std::memset(addr, 0, sizeof *addr);
  addr->sin_family = AF_INET;
  addr->sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, host, &addr->sin_addr) != 1) {
    *reason = std::string("bad SENDRIX_DISCOVERY_ADDR ") + host;
    return false;
  }
  return true;
}

bool CEthernetDiscovery::ParseRecord(const char* data, size_t length, char (&record)[128]) {
  if (length == 0 || length > 127 || std::memchr(data, '\0', length) != nullptr)
    return false;
  size_t tabs[4] = {};
  size_t found = 0;
  for (size_t i = 0; i < length && found < 4; ++i) {
    if (data[i] == '\t')
      tabs[found++] = i;
  }
  if (found < 3)
    return false;
  if (found == 3)
    tabs[3] = length;  // the name runs to the end
  if (tabs[1] - tabs[0] - 1 == 0)
    return false;  // no address
  for (int f = 1; f <= 3; ++f) {
    if (tabs[f] - tabs[f - 1] - 1 > kMaxField)
      return false;
  }
  std::memset(record, 0, sizeof record);
  std::memcpy(record, data, length);
  return true;
}

int CEthernetDiscovery::Discover(ICommErrorSink* errors, int& count, char (*table)[128],
                                 int capacity) {
  count = 0;
  sockaddr_in addr;
  std::string target, reason;
  if (!Target(&addr, &target, &reason)) {
    if (errors != nullptr)
      errors->ShowCommError(COMM_ERR_DISCOVERY_FAILED, target.c_str(), reason.c_str());
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int fd = OpenSocket();
  if (fd < 0 || sendto(fd, "IP=FIND", 7, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 7) {
    int err = errno;
    ReportFailure(errors, target, err);
    if (fd >= 0)
      close(fd);
    SetLastError(ErrnoToWin32(err));
    return 0;
  }
  const int64_t deadline = static_cast<int64_t>(NowMs()) + kCollectMs;
  char buffer[2048];
  while (count < capacity) {
    ssize_t n = ReceiveUntil(fd, buffer, sizeof buffer, deadline);
    if (n < 0)
      break;
    char record[128];
    if (!ParseRecord(buffer, static_cast<size_t>(n), record))
      continue;
    bool seen = false;
    for (int i = 0; i < count && !seen; ++i)
      seen = std::strcmp(table[i], record) == 0;
    if (!seen)
      std::memcpy(table[count++], record, sizeof record);
  }
  close(fd);
  return 1;
}

size_t CEthernetDiscovery::FrameLength(const char* frame) {
  if (frame == nullptr)
    return 0;
  if (std::strncmp(frame, "IP=CHIP", 7) == 0)
    return 17;
  if (std::strncmp(frame, "IP=CHNO", 7) == 0)
    return 23;
  if (std::strncmp(frame, "IP=REST", 7) == 0)
    return 13;
  return 0;
}

int CEthernetDiscovery::SendFrame(ICommErrorSink* errors, const char* frame) {
  size_t length = FrameLength(frame);
  if (length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  sockaddr_in addr;
  std::string target, reason;
  if (!Target(&addr, &target, &reason)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int fd = OpenSocket();
  if (fd < 0 || sendto(fd, frame, length, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr) !=
                    static_cast<ssize_t>(length)) {
    DWORD code = ErrnoToWin32(errno);
    if (errors != nullptr)
      errors->LogSystemError(code);
    if (fd >= 0)
      close(fd);
    SetLastError(code);
    return 0;
  }
  const int64_t deadline = static_cast<int64_t>(NowMs()) + kAckMs;
  char buffer[256];
  int acknowledged = 0;
  for (;;) {
    ssize_t n = ReceiveUntil(fd, buffer, sizeof buffer, deadline);
    if (n < 0)
      break;
    if (n == 15 && std::memcmp(buffer, "IP=OK", 5) == 0 &&
        std::memcmp(buffer + 5, frame + 3, 4) == 0 && std::memcmp(buffer + 9, frame + 7, 6) == 0) {
      acknowledged = 1;
      break;
    }
  }
  close(fd);
  if (!acknowledged)
    SetLastError(ERROR_TIMEOUT);
  return acknowledged;
}
