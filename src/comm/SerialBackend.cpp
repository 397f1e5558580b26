#include "comm/SerialBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "comm/PortAccess.h"
#include "comm/SerialPortList.h"
#include "platform/LastError.h"

namespace {

uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD LinesToStatus(int lines) {
  DWORD status = 0;
  if (lines & TIOCM_CTS)
    status |= 0x10;
  if (lines & TIOCM_DSR)
    status |= 0x20;
  if (lines & TIOCM_RNG)
    status |= 0x40;
  if (lines & TIOCM_CD)
    status |= 0x80;
  return status;
}

// A port is a character device (or a link to one). A folder whose name
// happens to be the cut name, such as "/work/main/", is not.
bool IsDevice(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Unix98 pseudo-terminal slaves have majors 136..143.
bool IsPseudoTerminal(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
         major(st.st_rdev) <= 143;
}

int OpenErrorCode(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return COMM_ERR_PERMISSION;
    case EBUSY:
      return COMM_ERR_PORT_BUSY;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return COMM_ERR_NOT_PRESENT;
    default:
      return COMM_ERR_OPEN_FAILED;
  }
}

// Who holds a busy port, for "it is held by %s".
std::string HolderText(const std::string& path) {
  std::string holders = CPortAccess::Holders(path);
  return holders.empty() ? "another program" : holders;
}

}  // namespace

CSerialBackend::~CSerialBackend() {
  Close();
}

int CSerialBackend::Setup(ICommErrorSink* errors) {
  m_pErrors = errors;
  return 1;
}

void CSerialBackend::Cleanup() {
  BreakDown();
}

unsigned CSerialBackend::IsConnectionValid(DWORD port, int /*setupCode*/, int baud, int parity,
                                           int flow, int dataBits, int stopBits) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  if (m_fd < 0)
    return 2;
  if (port != m_nPort || !(SerialParams{baud, parity, flow, dataBits, stopBits} == m_params)) {
    return 1;
  }
  // A port that went away (USB adapter unplugged, pty master closed) hangs up.
  struct pollfd p = {m_fd, 0, 0};
  if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
    return 1;
  return 0;
}

std::string CSerialBackend::ResolvePath(DWORD port, const char* name) {
  std::lock_guard<std::mutex> lock(m_portsLock);
  if (m_ports.empty())
    m_ports = CSerialPortList::Enumerate();
  std::string given = name != nullptr ? name : "";
  if (given.empty())
    return port < m_ports.size() ? m_ports[port] : std::string();
  for (const std::string& p : m_ports) {
    if (p == given)
      return p;
  }
  // Only a name the caller really cut short stands for a longer path: an
  // exact path of a port that went away (/dev/ttyUSB1 unplugged) must fail,
  // not open /dev/ttyUSB10.
  if (IsDevice(given) || given.size() != kCutNameLength)
    return given;
  // Ports come and go (USB adapters): look again before giving up.
  if (std::none_of(m_ports.begin(), m_ports.end(),
                   [&](const std::string& p) { return p.rfind(given, 0) == 0; }))
    m_ports = CSerialPortList::Enumerate();
  if (port < m_ports.size() && m_ports[port].rfind(given, 0) == 0)
    return m_ports[port];
  for (const std::string& p : m_ports) {
    if (p.rfind(given, 0) == 0)
      return p;
  }
  return given;  // gone: opening it reports the port as not present
}

int CSerialBackend::UpdateConnection(int /*readersStopped*/, DWORD& port, char* name, int& baud,
                                     int& parity, int& flow, int& dataBits, int& stopBits) {
  BreakDown();
  SerialParams params{baud, parity, flow, dataBits, stopBits};
  std::string reason;
  std::string path = ResolvePath(port, name);
  if (path.empty()) {
    // Said as the operator counts: the list's position, from 1.
    std::string index = "serial port " + std::to_string(static_cast<int>(port) + 1);
    m_pErrors->ShowCommError(COMM_ERR_INVALID_INDEX, index.c_str(),
                             name != nullptr && *name != '\0' ? name : "not in the port list");
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  if (!CSerialSettings::Validate(params, &reason)) {
    m_pErrors->ShowCommError(COMM_ERR_SETTINGS_REFUSED, path.c_str(), reason.c_str());
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::unique_lock<std::shared_mutex> lock(m_rw);
  if (Open(path, params) == 0)
    return 0;
  m_nPort = port;
  return 1;
}

int CSerialBackend::Open(const std::string& path, const SerialParams& params) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    DWORD code = SetLastErrorFromErrno();
    const int commCode = OpenErrorCode(err);
    std::string reason = commCode == COMM_ERR_PERMISSION  ? CPortAccess::PermissionFix(path)
                         : commCode == COMM_ERR_PORT_BUSY ? HolderText(path)
                                                          : std::string();
    if (reason.empty())
      reason = std::strerror(err);
    m_pErrors->ShowCommError(commCode, path.c_str(), reason.c_str());
    m_pErrors->LogSystemError(code);
    SetLastError(code);
    return 0;
  }
  const char* failure = nullptr;
  int code = COMM_ERR_OPEN_FAILED;
  termios t{};
  if (!isatty(fd)) {
    failure = "not a serial port";
    errno = ENOTTY;
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    failure = "held by another program";
    code = COMM_ERR_PORT_BUSY;
  } else if (ioctl(fd, TIOCEXCL) != 0 || tcgetattr(fd, &t) != 0) {
    failure = "cannot take the port";
  } else {
    CSerialSettings::ToTermios(params, t);
    termios got{};
    if (tcsetattr(fd, TCSANOW, &t) != 0 || tcgetattr(fd, &got) != 0 ||
        !CSerialSettings::Matches(params, got, IsPseudoTerminal(fd))) {
      failure = "the port refused the settings";
      code = COMM_ERR_SETTINGS_REFUSED;
    }
  }
  if (failure != nullptr) {
    DWORD sys = SetLastErrorFromErrno();
    close(fd);  // first, so that our own descriptor is not named as the holder
    std::string reason = code == COMM_ERR_PORT_BUSY ? HolderText(path)
                                                    : std::string(failure) + " (" +
                                                          CSerialSettings::Describe(params) + ")";
    m_pErrors->ShowCommError(code, path.c_str(), reason.c_str());
    SetLastError(sys);
    return 0;
  }
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  tcflush(fd, TCIOFLUSH);
  int probe = 0;
  m_bModemLines = ioctl(fd, TIOCMGET, &probe) == 0;
  m_lastReportedStatus = 0xFFFFFFFFu;
  m_fd = fd;
  m_strPath = path;
  m_params = params;
  return 1;
}

void CSerialBackend::Close() {
  if (m_fd < 0)
    return;
  m_engine.CancelFd(m_fd, ERROR_OPERATION_ABORTED);
  m_engine.CancelOwner(this, ERROR_OPERATION_ABORTED);
  // write() returns once the bytes are in the kernel's buffer; the line may
  // need seconds to send them. Flushing output here would cut off the end
  // of every transfer, so only an abandoned transfer's output is thrown away.
  if (m_bAbortOutput.exchange(false)) {
    tcflush(m_fd, TCOFLUSH);
  } else {
    DrainOutput();
  }
  tcflush(m_fd, TCIFLUSH);
  flock(m_fd, LOCK_UN);
  close(m_fd);
  m_fd = -1;
}

DWORD CSerialBackend::DrainLimitMs(DWORD queued) const {
  // 12 bit times per character covers start, 8 data, parity and 2 stop bits.
  int rate = CSerialSettings::BaudRate(m_params.baud);
  uint64_t lineMs = rate > 0 ? static_cast<uint64_t>(queued) * 12 * 1000 / rate : 0;
  return static_cast<DWORD>(std::min<uint64_t>(lineMs, kDrainMaxMs)) + kDrainMarginMs;
}

void CSerialBackend::DrainOutput() {
  int queued = 0;
  if (ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
    return;
  // Bounded: flow control (CTS, XOFF) may hold the output for ever.
  const uint64_t end = NowMs() + DrainLimitMs(static_cast<DWORD>(queued));
  while (ioctl(m_fd, TIOCOUTQ, &queued) == 0 && queued > 0 && NowMs() < end)
    usleep(kDrainPollMs * 1000);
}

void CSerialBackend::AbortOutput() {
  m_bAbortOutput = true;
}

int CSerialBackend::BreakDown() {
  std::unique_lock<std::shared_mutex> lock(m_rw);
  Close();
  return 1;
}

int CSerialBackend::IsConnected() {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  return m_fd >= 0 ? 1 : 0;
}

int CSerialBackend::IsPortAvailable() {
  return IsConnected();
}

bool CSerialBackend::HasChannel(int channel) {
  return channel != COMM_CHANNEL_RX_USM && IsConnected() != 0;
}

CommIoRequest CSerialBackend::Request(OVERLAPPED* ov) const {
  CommIoRequest r;
  r.fd = m_fd;
  r.owner = this;
  r.ov = ov;
  return r;
}

DWORD CSerialBackend::WriteIdleTimeoutMs() const {
  // Room in the kernel's buffer frees at the line's pace: allow the time of
  // 1 KB on the wire plus 5 s before a stalled write counts as timed out.
  int rate = CSerialSettings::BaudRate(m_params.baud);
  return 5000 + (rate > 0 ? static_cast<DWORD>(1024ull * 10 * 1000 / rate) : 0);
}

int CSerialBackend::Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  if (m_fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  m_bAbortOutput = false;  // new output: what went before is wanted again
  CommIoRequest r = Request(ov);
  r.callerWaitMs = kCallerWaitMs;
  r.idleTimeoutMs = WriteIdleTimeoutMs();
  if (m_bModemLines && CSerialSettings::DsrFlow(m_params)) {
    int fd = m_fd;
    r.gate = [fd] {
      int lines = 0;
      return ioctl(fd, TIOCMGET, &lines) != 0 || (lines & TIOCM_DSR) != 0;
    };
  }
  return m_engine.Write(r, buffer, length, written);
}

int CSerialBackend::Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  if (m_fd < 0 || channel != COMM_CHANNEL_RX) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return m_engine.Read(Request(ov), buffer, length, read);
}

CommPacketSizes CSerialBackend::PacketSizes() {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  CommPacketSizes sizes;
  if (m_fd < 0 || !m_bModemLines) {
    // No line speed to respect (pseudo-terminal): large packets.
    sizes.comm = 16384;
    sizes.download = 16384;
    return sizes;
  }
  // About a quarter of a second of the line per file write, so progress and
  // abort stay responsive at low rates: 64 bytes at 110 baud (the minimum)
  // up to 2048 at 115200.
  unsigned perQuarter = static_cast<unsigned>(CSerialSettings::BaudRate(m_params.baud)) / 40;
  unsigned comm = 64;
  while (comm * 2 <= perQuarter && comm < 16384)
    comm *= 2;
  sizes.comm = comm;
  sizes.download = comm < 4096 ? 4096 : comm;
  return sizes;
}

bool CSerialBackend::ReadLineStatus(DWORD* status) const {
  int lines = 0;
  if (m_fd < 0 || !m_bModemLines || ioctl(m_fd, TIOCMGET, &lines) != 0)
    return false;
  *status = LinesToStatus(lines);
  return true;
}

int CSerialBackend::InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength,
                                        OVERLAPPED& /*ov*/) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  DWORD status = 0;
  if (!ReadLineStatus(&status))
    return 0;
  if (m_lastReportedStatus.exchange(status) == status)
    return 0;
  if (buffer != nullptr && length >= sizeof status)
    std::memcpy(buffer, &status, sizeof status);
  if (outLength != nullptr)
    *outLength = sizeof status;
  return 1;
}

int CSerialBackend::GetDeviceStatus(void* /*buffer*/, DWORD /*length*/, DWORD& status) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  DWORD now = 0;
  if (!ReadLineStatus(&now))
    return 0;
  m_lastReportedStatus = now;
  status = now;
  return 1;
}

int CSerialBackend::IsDevicePresent() {
  return IsConnected();
}

int CSerialBackend::GetPortParams(int& /*usm*/, int& /*rt*/, const char* /*prefix*/, int& count,
                                  char (*table)[128], int capacity) {
  std::vector<std::string> ports = CSerialPortList::Enumerate();
  {
    std::lock_guard<std::mutex> lock(m_portsLock);
    m_ports = ports;
  }
  count = 0;
  for (const std::string& p : ports) {
    if (count == capacity)
      break;
    std::memset(table[count], 0, 128);
    std::snprintf(table[count], 128, "%s", p.c_str());
    ++count;
  }
  return 1;
}

void CSerialBackend::ShowPortProperties(char* buffer, size_t size) {
  std::shared_lock<std::shared_mutex> lock(m_rw);
  std::string text = "Interface: Serial (RS232, POSIX termios)\r\n";
  if (m_fd < 0) {
    text += "Port: not connected\r\n";
  } else {
    text += "Port: " + m_strPath + " (list index " + std::to_string(m_nPort) + ")\r\n";
    text += "Settings: " + CSerialSettings::Describe(m_params) + "\r\n";
    text += "Access: exclusive (flock and TIOCEXCL)\r\n";
    DWORD status = 0;
    if (ReadLineStatus(&status)) {
      char lines[96];
      std::snprintf(lines, sizeof lines, "Modem lines: CTS %d, DSR %d, RING %d, DCD %d\r\n",
                    (status & 0x10) != 0, (status & 0x20) != 0, (status & 0x40) != 0,
                    (status & 0x80) != 0);
      text += lines;
    } else {
      text += "Modem lines: none (pseudo-terminal or virtual port), no line status\r\n";
    }
    std::string name = m_strPath.substr(m_strPath.rfind('/') + 1);
    char driver[256] = {};
    std::string link = "/sys/class/tty/" + name + "/device/driver";
    ssize_t n = readlink(link.c_str(), driver, sizeof driver - 1);
    if (n > 0) {
      std::string d(driver, static_cast<size_t>(n));
      text += "Driver: " + d.substr(d.rfind('/') + 1) + "\r\n";
    }
  }
  lock.unlock();
  CommPacketSizes sizes = PacketSizes();
  text += "Packet sizes: file " + std::to_string(sizes.comm) + ", string " +
          std::to_string(sizes.string) + ", download " + std::to_string(sizes.download) +
          " bytes\r\nRead time-out: " + std::to_string(kReadTimeoutMs) + " ms\r\n";
  std::snprintf(buffer, size, "%s", text.c_str());
}
