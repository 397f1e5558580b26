#include "comm/TcpBackend.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "comm/Cablox.h"
#include "comm/EthernetDiscovery.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/StopRequest.h"

namespace {

constexpr int kNotTried = -1;
constexpr int64_t kConnectSliceMs = 50;
const char* const kNames[3] = {"main", "real-time", "USM"};

void SetOptions(int fd) {
  int on = 1, idle = 5, interval = 2, probes = 3;
  unsigned userTimeout = 10000;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::string DottedAddress(DWORD address) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF,
                (address >> 8) & 0xFF, address & 0xFF);
  return text;
}

// Reads and drops what is waiting; false at the end of the stream or on an
// error (nothing more will come).
bool DiscardInput(int fd) {
  char scrap[4096];
  for (;;) {
    ssize_t n = recv(fd, scrap, sizeof scrap, MSG_DONTWAIT);
    if (n > 0)
      continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
  }
}

bool ValidPort(int port) {
  return port > 0 && port <= 65535;
}

}  // namespace

CTcpBackend::~CTcpBackend() {
  Close();
}

int CTcpBackend::Setup(ICommErrorSink* errors) {
  m_pErrors = errors;
  return 1;
}

void CTcpBackend::Cleanup() {
  BreakDown();
}

std::string CTcpBackend::Endpoint(int port) const {
  return DottedAddress(m_dwAddress) + ":" + std::to_string(port);
}

unsigned CTcpBackend::IsConnectionValid(DWORD address, int /*setupCode*/, int mainPort,
                                        int outputSel, int rtPort, int usmPort, int /*unused*/) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  if (!m_bConnected)
    return 2;
  if (address != m_dwAddress || mainPort != m_conn[kMain].port || outputSel != m_nOutputSel ||
      rtPort != m_conn[kRealTime].port || usmPort != m_conn[kUsm].port) {
    return 1;
  }
  for (int i = 0; i < 3; ++i) {
    if (m_conn[i].fd >= 0 && !Alive(i))
      return 1;
  }
  return 0;
}

bool CTcpBackend::Alive(int index) {
  Connection& c = m_conn[index];
  if (c.closedByPeer)
    return false;
  struct pollfd p = {c.fd, POLLRDHUP, 0};
  return poll(&p, 1, 0) == 0 || (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) == 0;
}

void CTcpBackend::ConnectAll(const int ports[3], int errors[3]) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(m_dwAddress);
  for (int i = 0; i < 3; ++i) {
    errors[i] = kNotTried;
    m_conn[i].port = ports[i];
    m_conn[i].closedByPeer = false;
    if (!ValidPort(ports[i]))
      continue;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      errors[i] = errno;
      continue;
    }
    SetOptions(fd);
    addr.sin_port = htons(static_cast<uint16_t>(ports[i]));
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      errors[i] = 0;
    } else if (errno == EINPROGRESS) {
      errors[i] = EINPROGRESS;
    } else {
      errors[i] = errno;
      close(fd);
      continue;
    }
    m_conn[i].fd = fd;
  }
  const int64_t deadline = static_cast<int64_t>(NowMs()) + kConnectTimeoutMs;
  for (;;) {
    struct pollfd fds[3];
    int index[3], n = 0;
    for (int i = 0; i < 3; ++i) {
      if (errors[i] != EINPROGRESS)
        continue;
      fds[n] = {m_conn[i].fd, POLLOUT, 0};
      index[n++] = i;
    }
    int64_t left = deadline - static_cast<int64_t>(NowMs());
    if (n == 0)
      break;
    if (left <= 0 || IsStopRequested()) {
      for (int k = 0; k < n; ++k)
        errors[index[k]] = left <= 0 ? ETIMEDOUT : EINTR;
      break;
    }
    // In slices: a stop signal may reach another thread, and must still end
    // the attempt at once.
    if (poll(fds, n, static_cast<int>(std::min<int64_t>(left, kConnectSliceMs))) <= 0)
      continue;
    for (int k = 0; k < n; ++k) {
      if (fds[k].revents == 0)
        continue;
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fds[k].fd, SOL_SOCKET, SO_ERROR, &err, &len);
      errors[index[k]] = err;
    }
  }
  for (int i = 0; i < 3; ++i) {
    if (errors[i] != 0 && m_conn[i].fd >= 0) {
      close(m_conn[i].fd);
      m_conn[i].fd = -1;
    }
  }
}

int CTcpBackend::UpdateConnection(int /*readersStopped*/, DWORD& address, char* macText,
                                  int& mainPort, int& usm, int& rt, int& outputSel,
                                  int& completion) {
  BreakDown();
  std::unique_lock<std::shared_mutex> lock(m_rw);
  m_dwAddress = address;
  m_nOutputSel = outputSel == 1 ? 1 : 0;
  const int ports[3] = {mainPort, rt, usm};
  int errors[3];
  ConnectAll(ports, errors);
  {
    std::lock_guard<std::mutex> endpoints(m_endpointLock);
    for (int i = 0; i < 3; ++i)
      m_strEndpoint[i] = Endpoint(ports[i]);
  }
  completion = m_conn[kMain].fd >= 0 ? 1 : 0;
  rt = m_conn[kRealTime].fd >= 0 ? 1 : 0;
  usm = m_conn[kUsm].fd >= 0 ? 1 : 0;
  // Report the main connection's failure, and the real-time one's when it
  // carries the output.
  for (int i : {kMain, kRealTime}) {
    if (errors[i] == 0 || (i == kRealTime && m_nOutputSel == 0) || IsStopRequested())
      continue;
    std::string endpoint = Endpoint(ports[i]);
    if (errors[i] == ETIMEDOUT) {
      m_pErrors->ShowCommError(COMM_ERR_CONNECT_TIMEOUT, endpoint.c_str(), "no answer");
    } else {
      const char* reason = errors[i] == kNotTried ? "no port number" : std::strerror(errors[i]);
      m_pErrors->ShowCommError(COMM_ERR_TCP_CONNECT_FAILED, endpoint.c_str(), reason);
    }
  }
  m_bConnected = m_conn[TxIndex()].fd >= 0;
  if (!m_bConnected) {
    int err = errors[TxIndex()];
    Close();
    SetLastError(err == ETIMEDOUT ? WSAETIMEDOUT : ErrnoToWin32(err > 0 ? err : EINVAL));
    completion = rt = usm = 0;
    if (macText != nullptr)
      macText[0] = '\0';
    return 0;
  }
  std::ifstream arp("/proc/net/arp");
  std::stringstream table;
  table << arp.rdbuf();
  m_strMac = MacFromNeighbourTable(table.str(), m_dwAddress);
  if (macText != nullptr)
    std::snprintf(macText, 50, "%s", m_strMac.c_str());
  return 1;
}

std::string CTcpBackend::MacFromNeighbourTable(const std::string& table, DWORD address) {
  // IP address  HW type  Flags  HW address  Mask  Device
  std::istringstream lines(table);
  std::string line, ip = DottedAddress(address);
  std::getline(lines, line);  // heading
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string addr, type, flags, hw;
    if (!(fields >> addr >> type >> flags >> hw) || addr != ip)
      continue;
    unsigned b[6];
    if ((std::strtoul(flags.c_str(), nullptr, 16) & 0x2) == 0 ||
        std::sscanf(hw.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) !=
            6) {
      return "";
    }
    char mac[32];
    std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", b[0] & 0xFF, b[1] & 0xFF,
                  b[2] & 0xFF, b[3] & 0xFF, b[4] & 0xFF, b[5] & 0xFF);
    return mac;
  }
  return "";
}

void CTcpBackend::Close() {
  for (Connection& c : m_conn) {
    if (c.fd >= 0)
      m_engine.CancelFd(c.fd, ERROR_OPERATION_ABORTED);
  }
  m_engine.CancelOwner(this, ERROR_OPERATION_ABORTED);
  if (!m_bAbortOutput.exchange(false))
    DrainConnections();
  for (Connection& c : m_conn) {
    if (c.fd >= 0)
      close(c.fd);
    c.fd = -1;
  }
  m_bConnected = false;
  std::lock_guard<std::mutex> lock(m_endpointLock);
  ++m_nGeneration;
}

void CTcpBackend::DrainConnections() {
  // close() with unread input makes the kernel reset the connection and drop
  // the send queue. So: end the output, discard input until the printer has
  // taken every byte (SIOCOUTQ counts those not yet acknowledged), then close.
  for (Connection& c : m_conn) {
    if (c.fd >= 0)
      shutdown(c.fd, SHUT_WR);
  }
  const int64_t start = NowMs();
  int64_t progressAt = start;
  int64_t lastQueued = -1;
  bool ended[3] = {false, false, false};  // the printer closed its side
  for (;;) {
    struct pollfd fds[3];
    int which[3];
    nfds_t n = 0;
    int64_t queued = 0;
    for (int i = 0; i < 3; ++i) {
      int q = 0;
      if (m_conn[i].fd >= 0 && ioctl(m_conn[i].fd, SIOCOUTQ, &q) == 0 && q > 0)
        queued += q;
      if (m_conn[i].fd >= 0 && !ended[i]) {
        which[n] = i;
        fds[n++] = {m_conn[i].fd, POLLIN, 0};
      }
    }
    const int64_t now = NowMs();
    if (queued != lastQueued)
      progressAt = now;
    lastQueued = queued;
    if (queued == 0 || now - progressAt >= kCloseIdleMs || now - start >= kCloseDrainMaxMs)
      return;
    if (poll(fds, n, static_cast<int>(kClosePollMs)) <= 0)
      continue;
    for (nfds_t i = 0; i < n; ++i) {
      if (fds[i].revents != 0)
        ended[which[i]] = !DiscardInput(fds[i].fd);
    }
  }
}

int CTcpBackend::WaitOutputSent(DWORD waitMs, DWORD* pending) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  const int fd = m_conn[TxIndex()].fd;
  *pending = 0;
  if (!m_bConnected || fd < 0)
    return COMM_OUTPUT_LOST;
  const uint64_t end = NowMs() + waitMs;
  for (;;) {
    // A reset empties the send queue: only the state tells it from a queue
    // the printer emptied by taking every byte.
    tcp_info info{};
    socklen_t size = sizeof info;
    int queued = 0;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 || info.tcpi_state == TCP_CLOSE ||
        ioctl(fd, SIOCOUTQ, &queued) != 0)
      return COMM_OUTPUT_LOST;
    if (queued <= 0)
      return COMM_OUTPUT_SENT;
    *pending = static_cast<DWORD>(queued);
    if (NowMs() >= end)
      return COMM_OUTPUT_PENDING;
    usleep(static_cast<useconds_t>(kClosePollMs * 1000));
  }
}

void CTcpBackend::AbortOutput() {
  m_bAbortOutput = true;
}

int CTcpBackend::BreakDown() {
  std::unique_lock<std::shared_mutex> lock(m_rw);
  Close();
  return 1;
}

int CTcpBackend::IsConnected() {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  return m_bConnected ? 1 : 0;
}

int CTcpBackend::IsPortAvailable() {
  return IsConnected();
}

bool CTcpBackend::HasChannel(int channel) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  if (!m_bConnected)
    return false;
  int index = channel == COMM_CHANNEL_TX ? TxIndex() : channel == COMM_CHANNEL_RX ? kMain : kUsm;
  return m_conn[index].fd >= 0;
}

void CTcpBackend::OnFailure(void* context, uint64_t tag, DWORD error) {
  // Runs on the I/O thread (or in a reader's call) without m_rw: it checks
  // that the report is about the current connection and reads only atomics
  // and what m_endpointLock guards.
  auto* self = static_cast<CTcpBackend*>(context);
  const int index = static_cast<int>(tag & 0xFF);
  std::string endpoint;
  {
    std::lock_guard<std::mutex> lock(self->m_endpointLock);
    if ((tag >> 8) != self->m_nGeneration.load())
      return;
    endpoint = self->m_strEndpoint[index];
  }
  if (self->m_conn[index].closedByPeer.exchange(true))
    return;
  if (error == ERROR_BROKEN_PIPE || error == WSAECONNRESET) {
    self->m_pErrors->ShowCommError(COMM_ERR_CLOSED_BY_PEER, endpoint.c_str(), kNames[index]);
  } else {
    self->m_pErrors->LogSystemError(error);
  }
}

CommIoRequest CTcpBackend::Request(int index, OVERLAPPED* ov) {
  CommIoRequest r;
  r.fd = m_conn[index].fd;
  r.socket = true;
  r.owner = this;
  r.ov = ov;
  r.onFailure = &CTcpBackend::OnFailure;
  r.context = this;
  r.tag = (static_cast<uint64_t>(m_nGeneration.load()) << 8) | static_cast<uint64_t>(index);
  return r;
}

int CTcpBackend::Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  int index = TxIndex();
  if (!m_bConnected || m_conn[index].fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  m_bAbortOutput = false;  // new output: what went before is wanted again
  CommIoRequest r = Request(index, ov);
  r.callerWaitMs = kCallerWaitMs;
  r.idleTimeoutMs = kWriteIdleTimeoutMs;
  return m_engine.Write(r, buffer, length, written);
}

int CTcpBackend::Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  int index = channel == COMM_CHANNEL_RX ? kMain : kUsm;
  if (!m_bConnected || m_conn[index].fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return m_engine.Read(Request(index, ov), buffer, length, read);
}

int CTcpBackend::GetPortParams(int& /*usmChannel*/, int& /*rtChannel*/, const char* prefix,
                               int& count, char (*table)[128], int capacity) {
  if (prefix != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  return CEthernetDiscovery::Discover(m_pErrors, count, table, capacity);
}

int CTcpBackend::SetDeviceParams(const char* frame) {
  return CEthernetDiscovery::SendFrame(m_pErrors, frame);
}

void CTcpBackend::ShowPortProperties(char* buffer, size_t size) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  std::string text = "Interface: TCP/IP (Ethernet print server)\r\n";
  if (!m_bConnected) {
    text += "Connection: none\r\n";
  } else {
    text += "Printer: " + DottedAddress(m_dwAddress) + "\r\n";
    text += "MAC address: " + (m_strMac.empty() ? std::string("unknown") : m_strMac) + "\r\n";
    text += std::string("Output: ") + (m_nOutputSel == 1 ? "Real Time" : "Main") + " port\r\n";
    for (int i = 0; i < 3; ++i) {
      const Connection& c = m_conn[i];
      std::string state =
          c.fd < 0 ? "not connected" : (c.closedByPeer ? "closed by the printer" : "connected");
      if (c.fd >= 0) {
        sockaddr_in local{};
        socklen_t len = sizeof local;
        getsockname(c.fd, reinterpret_cast<sockaddr*>(&local), &len);
        state += " (local port " + std::to_string(ntohs(local.sin_port)) + ")";
      }
      text += std::string(kNames[i]) + " port " + std::to_string(c.port) + ": " + state + "\r\n";
    }
  }
  text += "Keep-alive: after 5 s idle, 3 probes 2 s apart; unacknowledged data: 10 s\r\n";
  text += "Connect time-out: " + std::to_string(kConnectTimeoutMs) + " ms, read time-out " +
          std::to_string(kReadTimeoutMs) + " ms\r\n";
  text += "Packet sizes: file 16384, string 256, download 32768 bytes\r\n";
  sockaddr_in addr;
  std::string target, reason;
  CEthernetDiscovery::Target(&addr, &target, &reason);
  text += "Discovery and device set-up: UDP " + target + "\r\n";
  std::snprintf(buffer, size, "%s", text.c_str());
}
