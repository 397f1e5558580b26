#include "PrinterSim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "SimSocket.h"

namespace {

constexpr size_t kReadSize = 65536;
constexpr size_t kHighWater = 1 << 20;  // stop reading a peer whose replies pile up
constexpr size_t kStreamChunk = 65536;
constexpr size_t kStreamQueue = 256 * 1024;
constexpr int kMaxPollMs = 100;  // bounds how late Stop is seen
constexpr int kMaxConnsPerPort = 8;

}  // namespace

CPrinterSim::CPrinterSim(const SIM_OPTIONS& options) : m_options(options) {
  m_faults = options.faults;
}

CPrinterSim::~CPrinterSim() {
  Stop();
}

bool CPrinterSim::OpenFaces(std::string& error) {
  if (m_options.bTcp) {
    if (!m_listeners.Open(m_options.nMainPort, m_options.nRtPort, m_options.nUsmPort,
                          m_faults.m_bRefuse, error)) {
      return false;
    }
    m_nMainPort = m_listeners.Port(SimFace::Main);
    m_nRtPort = m_listeners.Port(SimFace::Rt);
    m_nUsmPort = m_listeners.Port(SimFace::Usm);
  }
  if (m_options.nUdpPort >= 0) {
    m_nUdp = simsock::BindUdp(m_options.nUdpPort, error);
    if (m_nUdp < 0) {
      return false;
    }
    m_nUdpPort = simsock::LocalPort(m_nUdp);
  }
  if (!m_options.strPtyLink.empty()) {
    if (!m_pty.Open(m_options.strPtyLink, error)) {
      return false;
    }
    m_conns.emplace_back(m_pty.GetMasterFd(), SimFace::Pty);
  }
  return true;
}

bool CPrinterSim::Start(std::string& error) {
  if (m_bStarted) {
    error = "already started";
    return false;
  }
  if (!m_setup.SetMac(m_options.strMac) || !m_setup.SetIp(m_options.strIp)) {
    error = "bad MAC or IP address text";
    return false;
  }
  m_setup.SetName(m_options.strName);
  if (!m_options.strCapture.empty()) {
    m_pCapture = std::fopen(m_options.strCapture.c_str(), "wb");
    if (m_pCapture == nullptr) {
      error = "cannot create " + m_options.strCapture + ": " + std::strerror(errno);
      return false;
    }
    std::setvbuf(m_pCapture, nullptr, _IOFBF, 1 << 20);
  }
  if (!m_options.strStreamFile.empty()) {
    m_pStream = std::fopen(m_options.strStreamFile.c_str(), "rb");
    if (m_pStream == nullptr) {
      error = "cannot open " + m_options.strStreamFile + ": " + std::strerror(errno);
      CloseFaces();
      return false;
    }
  }
  PRINTER_CORE_CONFIG config;
  config.bPacket = m_options.bPacket;
  config.bEcho = m_options.bEcho;
  config.bFirmware = m_options.bFirmware;
  config.pCapture = m_pCapture;
  config.flash = m_options.flash;
  m_core.SetConfig(config);
  if (pipe2(m_nWake, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    CloseFaces();
    return false;
  }
  if (!OpenFaces(error)) {
    CloseFaces();
    return false;
  }
  m_nextUsm = Clock::now() + std::chrono::milliseconds(m_options.dwUsmEveryMs);
  m_started = Clock::now();
  std::stable_sort(
      m_options.stateSteps.begin(), m_options.stateSteps.end(),
      [](const SIM_STATE_STEP& a, const SIM_STATE_STEP& b) { return a.dwAtMs < b.dwAtMs; });
  m_state = m_options.state;
  m_core.SetState(m_state);
  m_throttle.Restart(Clock::now());
  m_bStop = false;
  m_bStarted = true;
  m_thread = std::thread([this] { Run(); });
  return true;
}

void CPrinterSim::Stop() {
  if (!m_bStarted) {
    return;
  }
  m_bStop = true;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    WakeLocked();
  }
  m_thread.join();
  m_bStarted = false;
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<SIM_REPLY> ignored;
  m_core.Flush(m_faults, ignored);
  CloseFaces();
  m_changed.notify_all();
}

void CPrinterSim::CloseFaces() {
  m_listeners.Close();
  for (CONN& conn : m_conns) {
    if (conn.nKind != SimFace::Pty) {
      close(conn.fd);
    }
  }
  m_conns.clear();
  m_pStreamConn = nullptr;
  m_pty.Close();
  for (int& fd : m_nWake) {
    if (fd >= 0) {
      close(fd);
    }
    fd = -1;
  }
  if (m_nUdp >= 0) {
    close(m_nUdp);
    m_nUdp = -1;
  }
  if (m_pCapture != nullptr) {
    std::fclose(m_pCapture);
    m_pCapture = nullptr;
    PRINTER_CORE_CONFIG config;
    config.bPacket = m_options.bPacket;
    config.bEcho = m_options.bEcho;
    config.bFirmware = m_options.bFirmware;
    config.flash = m_options.flash;
    m_core.SetConfig(config);
  }
  if (m_pStream != nullptr) {
    std::fclose(m_pStream);
    m_pStream = nullptr;
  }
}

// ---------------------------------------------------------------- I/O thread

size_t CPrinterSim::ReadBudget(Clock::time_point now) {
  return m_throttle.Budget(m_faults.m_dwThrottle, kReadSize, now);
}

int CPrinterSim::PollTimeoutMs(Clock::time_point now) const {
  auto until = [now](Clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::clamp<int64_t>(ms + 1, 0, kMaxPollMs));
  };
  int timeout = kMaxPollMs;
  if (m_options.dwUsmEveryMs != 0) {
    timeout = std::min(timeout, until(m_nextUsm));
  }
  if (m_nNextStep < m_options.stateSteps.size()) {
    timeout = std::min(
        timeout,
        until(m_started + std::chrono::milliseconds(m_options.stateSteps[m_nNextStep].dwAtMs)));
  }
  for (const CONN& conn : m_conns) {
    Clock::time_point due;
    if (conn.WaitsForLater(now, due)) {
      timeout = std::min(timeout, until(due));
    }
  }
  if (m_faults.m_dwThrottle != 0) {
    timeout = std::min(timeout, std::max(1, static_cast<int>(1000 / m_faults.m_dwThrottle)));
  }
  return timeout;
}

void CPrinterSim::BuildPoll(std::vector<pollfd>& fds, std::vector<POLL_ENTRY>& who,
                            Clock::time_point now) {
  fds.clear();
  who.clear();
  fds.push_back(pollfd{m_nWake[0], POLLIN, 0});
  who.push_back(POLL_ENTRY{0, -1, nullptr});
  std::vector<int> listeners;
  m_listeners.AddToPoll(fds, listeners);
  for (const int number : listeners) {
    who.push_back(POLL_ENTRY{1, number, nullptr});
  }
  if (m_nUdp >= 0) {
    fds.push_back(pollfd{m_nUdp, POLLIN, 0});
    who.push_back(POLL_ENTRY{2, -1, nullptr});
  }
  const bool mayRead = ReadBudget(now) > 0;
  for (CONN& conn : m_conns) {
    short events = 0;
    CONN* target = ReplyTarget(conn);
    const bool backlog = target != nullptr && target->Queued() > kHighWater;
    if (!conn.IsData() || (mayRead && !backlog)) {
      events |= POLLIN;
    }
    // A streaming connection asks to be woken as soon as it can take more,
    // so the stream is refilled at the pace of the reader, not of the
    // loop's longest sleep.
    const bool streaming = &conn == m_pStreamConn && m_pStream != nullptr && !m_bStreamDone;
    if (conn.HasDueOutput(now) || streaming) {
      events |= POLLOUT;
    }
    fds.push_back(pollfd{conn.fd, events, 0});
    who.push_back(POLL_ENTRY{3, -1, &conn});
  }
}

void CPrinterSim::Run() {
  std::vector<pollfd> fds;
  std::vector<POLL_ENTRY> who;
  while (!m_bStop) {
    int timeout = 0;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      const Clock::time_point now = Clock::now();
      BuildPoll(fds, who, now);
      timeout = PollTimeoutMs(now);
    }
    const int ready = poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) {
      break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ready > 0) {
      HandlePolled(fds, who);
    }
    const Clock::time_point now = Clock::now();
    m_listeners.Update(m_faults.m_bRefuse);
    TakeOutsideSends();
    TickState(now);
    TickUsm(now);
    TickStream();
    for (CONN& conn : m_conns) {
      m_counters.qwSentBytes += conn.Write(now);
    }
    RemoveClosed();
    m_changed.notify_all();
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  DrainOnStop();
}

void CPrinterSim::DrainOnStop() {
  // What peers sent before the stop belongs in the summary: read what is
  // already waiting, unthrottled, but only so much.
  m_faults.m_dwThrottle = 0;
  m_faults.m_qwDropAfter = 0;
  for (CONN& conn : m_conns) {
    for (int round = 0; round < 4096 && !conn.bClose && conn.IsData(); ++round) {
      const uint64_t before = conn.qwReceived;
      ReadConn(conn);
      if (conn.qwReceived == before) {
        break;
      }
    }
  }
}

void CPrinterSim::HandlePolled(const std::vector<pollfd>& fds, const std::vector<POLL_ENTRY>& who) {
  for (size_t i = 0; i < fds.size(); ++i) {
    const short revents = fds[i].revents;
    if (revents == 0) {
      continue;
    }
    switch (who[i].nType) {
      case 0: {
        char drain[64];
        while (read(m_nWake[0], drain, sizeof drain) > 0) {
        }
        break;
      }
      case 1:
        HandleListener(who[i].nListener);
        break;
      case 2:
        HandleUdp();
        break;
      default:
        if (revents & (POLLIN | POLLHUP | POLLERR)) {
          ReadConn(*who[i].pConn);
        }
        break;
    }
  }
}

void CPrinterSim::HandleListener(int number) {
  SimFace face = SimFace::Main;
  const int fd = m_listeners.Accept(number, face);
  if (fd < 0) {
    return;
  }
  const int open = static_cast<int>(std::count_if(m_conns.begin(), m_conns.end(),
                                                  [&](const CONN& c) { return c.nKind == face; }));
  if (open >= kMaxConnsPerPort) {
    simsock::CloseWithReset(fd);
    return;
  }
  m_conns.emplace_back(fd, face);
  ++m_counters.qwConnections;
}

void CPrinterSim::HandleUdp() {
  uint8_t datagram[2048];
  for (int i = 0; i < 16; ++i) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = recvfrom(m_nUdp, datagram, sizeof datagram, 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
      return;
    }
    std::vector<uint8_t> reply;
    const CDeviceSetup::Action action =
        m_setup.Handle(datagram, static_cast<size_t>(n), !m_faults.m_bNoSetupAck, reply);
    if (action == CDeviceSetup::Action::Discovered) {
      ++m_counters.qwDiscoveries;
    } else if (action != CDeviceSetup::Action::None) {
      ++m_counters.qwSetupFrames;
    }
    if (!reply.empty() && simsock::IsLoopback(from)) {
      sendto(m_nUdp, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
    if (action == CDeviceSetup::Action::Restart) {
      DropTcpConnections();
    }
  }
}

void CPrinterSim::DropTcpConnections() {
  for (CONN& conn : m_conns) {
    if (conn.nKind != SimFace::Pty && !conn.bClose) {
      conn.bClose = true;
      ++m_counters.qwDrops;
    }
  }
}

CPrinterSim::CONN* CPrinterSim::ReplyTarget(CONN& source) {
  if (source.nKind != SimFace::Rt) {
    return &source;
  }
  for (CONN& conn : m_conns) {
    if (conn.nKind == SimFace::Main && !conn.bClose) {
      return &conn;
    }
  }
  return &source;
}

void CPrinterSim::Deliver(CONN& source, std::vector<SIM_REPLY>& replies) {
  CONN* target = ReplyTarget(source);
  for (SIM_REPLY& reply : replies) {
    target->Queue(std::move(reply.bytes), reply.dwDelayMs);
  }
  replies.clear();
}

void CPrinterSim::ReadConn(CONN& conn) {
  if (conn.bClose) {
    return;
  }
  size_t budget = conn.IsData() ? ReadBudget(Clock::now()) : kReadSize;
  const uint64_t dropAfter = m_faults.m_qwDropAfter;
  const bool mayDrop = dropAfter != 0 && conn.nKind != SimFace::Pty && conn.IsData();
  if (mayDrop && conn.qwReceived >= dropAfter) {
    // Switched on after this connection had already passed the mark.
    m_faults.m_qwDropAfter = 0;
    conn.bClose = true;
    ++m_counters.qwDrops;
    return;
  }
  if (mayDrop) {
    budget = static_cast<size_t>(std::min<uint64_t>(budget, dropAfter - conn.qwReceived));
  }
  // The restart and the hang-up fire at their exact byte, as drop-after does.
  const uint64_t restartAfter = conn.IsData() ? m_faults.m_qwRestartAfter : 0;
  if (restartAfter != 0) {
    budget = static_cast<size_t>(
        std::min<uint64_t>(budget, restartAfter - std::min(restartAfter, m_core.GetRawBytes())));
  }
  const uint64_t hangupAfter = conn.nKind == SimFace::Pty ? m_faults.m_qwHangupAfter : 0;
  if (hangupAfter != 0) {
    budget = static_cast<size_t>(
        std::min<uint64_t>(budget, hangupAfter - std::min(hangupAfter, conn.qwReceived)));
  }
  if (budget == 0 && (restartAfter != 0 || hangupAfter != 0)) {
    FireLineFaults(conn);
    return;
  }
  if (budget == 0) {
    return;
  }
  static thread_local std::vector<uint8_t> buffer(kReadSize);
  const ssize_t n = read(conn.fd, buffer.data(), std::min(budget, buffer.size()));
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
    if (conn.nKind != SimFace::Pty) {
      conn.bClose = true;  // the peer closed or reset the connection
    }
    return;
  }
  if (n < 0) {
    return;
  }
  conn.qwReceived += static_cast<uint64_t>(n);
  if (m_faults.m_dwThrottle != 0 && conn.IsData()) {
    m_throttle.Spend(static_cast<size_t>(n));
  }
  if (conn.IsData()) {
    std::vector<SIM_REPLY> replies;
    m_core.Process(buffer.data(), static_cast<size_t>(n), m_faults, replies);
    Deliver(conn, replies);
  }
  if (mayDrop && conn.qwReceived >= dropAfter) {
    m_faults.m_qwDropAfter = 0;  // once: the next connection is served normally
    conn.bClose = true;
    ++m_counters.qwDrops;
  }
  FireLineFaults(conn);
}

void CPrinterSim::FireLineFaults(CONN& conn) {
  const uint64_t restartAfter = m_faults.m_qwRestartAfter;
  if (restartAfter != 0 && conn.IsData() && m_core.GetRawBytes() >= restartAfter) {
    // Once: the printer comes back in normal mode and serves what follows.
    m_faults.m_qwRestartAfter = 0;
    m_core.Restart();
    DropTcpConnections();
  }
  const uint64_t hangupAfter = m_faults.m_qwHangupAfter;
  if (hangupAfter != 0 && conn.nKind == SimFace::Pty && conn.qwReceived >= hangupAfter) {
    m_faults.m_qwHangupAfter = 0;
    conn.bClose = true;  // RemoveClosed closes both sides of the pair
    ++m_counters.qwDrops;
  }
}

void CPrinterSim::TickUsm(Clock::time_point now) {
  if (m_options.dwUsmEveryMs == 0 || now < m_nextUsm) {
    return;
  }
  m_nextUsm = now + std::chrono::milliseconds(m_options.dwUsmEveryMs);
  for (CONN& conn : m_conns) {
    if (conn.nKind == SimFace::Usm) {
      conn.Queue(UsmMessageLocked(), 0);
      ++m_counters.qwUsmMessages;
    }
  }
}

std::vector<uint8_t> CPrinterSim::UsmMessageLocked() const {
  if (!m_options.usmMessage.empty()) {
    return m_options.usmMessage;
  }
  const std::array<uint8_t, 4> message = m_state.AutomaticStatus();
  return {message.begin(), message.end()};
}

void CPrinterSim::TickState(Clock::time_point now) {
  const std::vector<SIM_STATE_STEP>& steps = m_options.stateSteps;
  while (m_nNextStep < steps.size() &&
         now >= m_started + std::chrono::milliseconds(steps[m_nNextStep].dwAtMs)) {
    ApplyStateLocked(steps[m_nNextStep++].state);
  }
}

void CPrinterSim::ApplyStateLocked(const CPrinterState& state) {
  if (state == m_state) {
    return;
  }
  m_state = state;
  m_core.SetState(state);
  ++m_counters.qwStateChanges;
  const std::array<uint8_t, 4> message = state.AutomaticStatus();
  for (CONN& conn : m_conns) {
    if (conn.nKind == SimFace::Usm && !conn.bClose) {
      conn.Queue({message.begin(), message.end()}, 0);
      ++m_counters.qwUsmMessages;
    }
  }
}

void CPrinterSim::TickStream() {
  if (m_pStream == nullptr || m_bStreamDone) {
    return;
  }
  if (m_pStreamConn == nullptr) {
    for (CONN& conn : m_conns) {
      if (conn.nKind == SimFace::Main && !conn.bClose) {
        m_pStreamConn = &conn;
        break;
      }
    }
    if (m_pStreamConn == nullptr && m_listeners.Empty()) {
      for (CONN& conn : m_conns) {
        if (conn.nKind == SimFace::Pty) {
          m_pStreamConn = &conn;
        }
      }
    }
    if (m_pStreamConn == nullptr) {
      return;
    }
  }
  for (int round = 0; round < 8 && m_pStreamConn->Queued() < kStreamQueue; ++round) {
    std::vector<uint8_t> chunk(kStreamChunk);
    const size_t n = std::fread(chunk.data(), 1, chunk.size(), m_pStream);
    if (n == 0) {
      m_bStreamDone = true;
      return;
    }
    chunk.resize(n);
    m_counters.qwStreamBytes += n;
    m_pStreamConn->Queue(std::move(chunk), 0);
  }
}

void CPrinterSim::TakeOutsideSends() {
  for (CONN& conn : m_conns) {
    if (!m_outsideData.empty() && (conn.nKind == SimFace::Main || conn.nKind == SimFace::Pty)) {
      conn.Queue(m_outsideData, 0);
    }
    if (!m_outsideUsm.empty() && conn.nKind == SimFace::Usm) {
      conn.Queue(m_outsideUsm, 0);
    }
  }
  m_outsideData.clear();
  m_outsideUsm.clear();
}

void CPrinterSim::RemoveClosed() {
  for (auto it = m_conns.begin(); it != m_conns.end();) {
    if (!it->bClose) {
      ++it;
      continue;
    }
    if (&*it == m_pStreamConn) {
      m_pStreamConn = nullptr;
      m_bStreamDone = true;
    }
    if (it->nKind == SimFace::Pty) {
      m_pty.Close();  // a hang-up: the line is gone, the peer's side sees it
    } else {
      close(it->fd);
    }
    it = m_conns.erase(it);
  }
}

// ------------------------------------------------------------ any thread

SIM_COUNTERS CPrinterSim::CountersLocked() const {
  SIM_COUNTERS counters = m_counters;
  counters.qwPrintBytes = m_core.GetPrintBytes();
  counters.qwRawBytes = m_core.GetRawBytes();
  counters.qwFramesOk = m_core.GetPacketDecoder().GetGoodFrames();
  counters.qwFramesBad = m_core.GetPacketDecoder().GetBadFrames();
  counters.qwStatusReplies = m_core.GetStatusReplies();
  const CFlashDevice& flash = m_core.GetFlash();
  counters.dwFlashBlocks = flash.GetBlocks();
  counters.dwDataFrames = flash.GetDataFrames();
  counters.dwFlashNaks = flash.GetNaks();
  counters.dwDownloadSessions = flash.GetSessions();
  counters.wFlashCrc = flash.GetCrc();
  counters.bDownloadMode = m_core.IsInDownloadMode();
  for (const CONN& conn : m_conns) {
    if (conn.bClose) {
      continue;
    }
    counters.nMainConnections += conn.nKind == SimFace::Main;
    counters.nRtConnections += conn.nKind == SimFace::Rt;
    counters.nUsmConnections += conn.nKind == SimFace::Usm;
  }
  return counters;
}

SIM_COUNTERS CPrinterSim::GetCounters() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return CountersLocked();
}

bool CPrinterSim::WaitFor(const std::function<bool(const SIM_COUNTERS&)>& done,
                          int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return done(CountersLocked()); });
}

std::string CPrinterSim::GetSha256() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_core.GetSha256();
}

std::vector<uint8_t> CPrinterSim::GetFlashImage() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_core.GetFlash().GetImage();
}

std::string CPrinterSim::GetDiscoveryRecord() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_setup.GetRecord();
}

std::string CPrinterSim::GetReadyLine() const {
  std::string line = "ready";
  if (m_nMainPort >= 0) {
    line += " main=" + std::to_string(m_nMainPort) + " rt=" + std::to_string(m_nRtPort) +
            " usm=" + std::to_string(m_nUsmPort);
  }
  if (m_nUdpPort >= 0) {
    line += " udp=" + std::to_string(m_nUdpPort);
  }
  if (!m_options.strPtyLink.empty()) {
    line += " pty=" + m_options.strPtyLink;
  }
  return line;
}

std::string CPrinterSim::GetSummaryLine() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const SIM_COUNTERS counters = CountersLocked();
  char text[256];
  std::snprintf(text, sizeof text,
                "summary bytes=%" PRIu64 " sha256=%s frames_ok=%" PRIu64 " frames_bad=%" PRIu64
                " flash_blocks=%u crc=%04X",
                counters.qwPrintBytes, m_core.GetSha256().c_str(), counters.qwFramesOk,
                counters.qwFramesBad, counters.dwFlashBlocks, counters.wFlashCrc);
  return text;
}

void CPrinterSim::SetFaults(const CSimFaults& faults) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_faults = faults;
  WakeLocked();  // a refusal or throttle takes effect at once
}

CSimFaults CPrinterSim::GetFaults() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_faults;
}

void CPrinterSim::WakeLocked() {
  const char wake = 1;
  if (m_nWake[1] >= 0 && write(m_nWake[1], &wake, 1) < 0) {
    // A full pipe: the thread wakes anyway.
  }
}

void CPrinterSim::Send(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_outsideData.insert(m_outsideData.end(), bytes.begin(), bytes.end());
  WakeLocked();
}

void CPrinterSim::SendUsm(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_outsideUsm.insert(m_outsideUsm.end(), bytes.begin(), bytes.end());
  WakeLocked();
}

void CPrinterSim::SetState(const CPrinterState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ApplyStateLocked(state);
  WakeLocked();
}

CPrinterState CPrinterSim::GetState() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_state;
}
