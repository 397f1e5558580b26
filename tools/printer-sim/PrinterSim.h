// The virtual printer: a test peer for every I/O path of Sendrix, started
// in-process by tests or by the sendrix-printer-sim program.
//
// Faces (all on loopback only):
//  - TCP: main, real-time and USM ports on 127.0.0.1 (port 0 picks a free
//    one). Bytes on the main and real-time ports are print data and commands
//    (see CPrinterCore); replies go to the main connection (for bytes from
//    the real-time port too, when a main connection exists, since that is
//    where Sendrix reads). The USM port carries unsolicited status messages.
//  - Serial: a pseudo-terminal whose slave side a symbolic link names.
//    Replies to bytes read from it go back on it.
//  - UDP device setup and discovery (see CDeviceSetup).
//
// Threading: Start() starts one I/O thread (poll-based); Stop() ends and
// joins it. Every other member may be called from any thread at any time;
// they take the simulator's lock, which the I/O thread holds only while it
// handles what one poll returned.
// Time-outs: no call blocks longer than the time-out it is given; Stop()
// returns within about one poll period (at most 100 ms) plus a join.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DeviceSetup.h"
#include "PrinterCore.h"
#include "PtyLink.h"
#include "SimConnection.h"
#include "SimFaults.h"
#include "SimListeners.h"
#include "SimThrottle.h"

struct SIM_OPTIONS {
  bool bTcp = true;
  int nMainPort = 9100;  // 0 = a free port
  int nRtPort = 9105;
  int nUsmPort = 9110;
  std::string strPtyLink;  // empty: no pseudo-terminal
  int nUdpPort = -1;       // -1: no device setup; 0 = a free port
  std::string strName = "SIMPRN";
  std::string strMac = "02-00-00-00-00-01";
  std::string strIp = "127.0.0.1";  // the address discovery reports
  bool bPacket = false;
  bool bEcho = false;
  bool bFirmware = true;
  std::string strCapture;                  // empty: no capture file
  uint32_t dwUsmEveryMs = 0;               // 0: no periodic USM
  std::vector<uint8_t> usmMessage;         // empty: the current state's automatic status
  CPrinterState state;                     // at start
  std::vector<SIM_STATE_STEP> stateSteps;  // later states, in any order
  std::string strStreamFile;               // sent once to the first data peer; empty: none
  FLASH_CONFIG flash;
  CSimFaults faults;
};

struct SIM_COUNTERS {
  uint64_t qwPrintBytes = 0;  // counted and hashed (packet data in packet mode)
  uint64_t qwRawBytes = 0;    // every byte received on the data channels
  uint64_t qwFramesOk = 0;
  uint64_t qwFramesBad = 0;
  uint64_t qwStatusReplies = 0;
  uint32_t dwFlashBlocks = 0;
  uint32_t dwDataFrames = 0;
  uint32_t dwFlashNaks = 0;
  uint32_t dwDownloadSessions = 0;
  uint16_t wFlashCrc = 0xFFFF;
  bool bDownloadMode = false;
  uint64_t qwConnections = 0;  // TCP connections accepted
  uint64_t qwDrops = 0;        // connections dropped by a fault or a restart
  uint64_t qwDiscoveries = 0;
  uint64_t qwSetupFrames = 0;  // CHIP, CHNO and REST frames obeyed
  uint64_t qwUsmMessages = 0;  // periodic and state-change messages, per connection
  uint64_t qwStateChanges = 0;
  uint64_t qwStreamBytes = 0;
  uint64_t qwSentBytes = 0;  // every byte sent on the data channels
  int nMainConnections = 0;
  int nRtConnections = 0;
  int nUsmConnections = 0;
};

class CPrinterSim {
 public:
  explicit CPrinterSim(const SIM_OPTIONS& options);
  ~CPrinterSim();
  CPrinterSim(const CPrinterSim&) = delete;
  CPrinterSim& operator=(const CPrinterSim&) = delete;

  // Binds every face and starts the I/O thread. False with a reason.
  bool Start(std::string& error);
  // Ends the I/O thread, hands held bytes on as print data, closes every
  // face and the capture file. Safe to call twice.
  void Stop();

  int GetMainPort() const { return m_nMainPort; }
  int GetRtPort() const { return m_nRtPort; }
  int GetUsmPort() const { return m_nUsmPort; }
  int GetUdpPort() const { return m_nUdpPort; }
  const std::string& GetPtyPath() const { return m_pty.GetLinkPath(); }
  const std::string& GetPtySlave() const { return m_pty.GetSlavePath(); }
  // "ready main=P rt=P usm=P udp=P pty=PATH", only the faces in use.
  std::string GetReadyLine() const;
  // "summary bytes=N sha256=HEX frames_ok=N frames_bad=N flash_blocks=N crc=XXXX"
  std::string GetSummaryLine() const;

  SIM_COUNTERS GetCounters() const;
  std::string GetSha256() const;
  std::vector<uint8_t> GetFlashImage() const;
  std::string GetDiscoveryRecord() const;
  // Waits until `done` holds for the counters; false after `timeoutMs`.
  bool WaitFor(const std::function<bool(const SIM_COUNTERS&)>& done, int timeoutMs) const;

  void SetFaults(const CSimFaults& faults);
  CSimFaults GetFaults() const;
  // Queues bytes to every main connection and the pseudo-terminal, or to
  // every USM connection.
  void Send(const std::vector<uint8_t>& bytes);
  void SendUsm(const std::vector<uint8_t>& bytes);
  // A new printer state: later status requests are answered from it and,
  // when it differs from the last, every USM connection gets its automatic
  // status message at once.
  void SetState(const CPrinterState& state);
  CPrinterState GetState() const;

 private:
  using Clock = std::chrono::steady_clock;
  using CONN = CSimConnection;

  bool OpenFaces(std::string& error);
  void CloseFaces();
  void Run();
  void DrainOnStop();
  struct POLL_ENTRY {
    int nType;      // 0 wake, 1 listener, 2 UDP, 3 connection
    int nListener;  // for a listener: its number in m_listeners
    CONN* pConn;
  };
  int PollTimeoutMs(Clock::time_point now) const;
  void BuildPoll(std::vector<struct pollfd>& fds, std::vector<POLL_ENTRY>& who,
                 Clock::time_point now);
  void HandlePolled(const std::vector<struct pollfd>& fds, const std::vector<POLL_ENTRY>& who);
  void HandleListener(int number);
  void HandleUdp();
  void ReadConn(CONN& conn);
  // The restart-after and hang-up-after faults, once their byte has come.
  void FireLineFaults(CONN& conn);
  CONN* ReplyTarget(CONN& source);
  void Deliver(CONN& source, std::vector<SIM_REPLY>& replies);
  void TickUsm(Clock::time_point now);
  void TickState(Clock::time_point now);
  void ApplyStateLocked(const CPrinterState& state);
  std::vector<uint8_t> UsmMessageLocked() const;
  void TickStream();
  void TakeOutsideSends();
  void WakeLocked();
  void DropTcpConnections();
  void RemoveClosed();
  size_t ReadBudget(Clock::time_point now);
  SIM_COUNTERS CountersLocked() const;

  SIM_OPTIONS m_options;
  int m_nMainPort = -1;
  int m_nRtPort = -1;
  int m_nUsmPort = -1;
  int m_nUdpPort = -1;
  int m_nUdp = -1;
  int m_nWake[2] = {-1, -1};
  CPtyLink m_pty;
  FILE* m_pCapture = nullptr;
  FILE* m_pStream = nullptr;
  bool m_bStreamDone = false;
  CONN* m_pStreamConn = nullptr;  // the connection being streamed to

  mutable std::mutex m_mutex;  // guards everything below and the I/O state above
  mutable std::condition_variable m_changed;
  CSimListeners m_listeners;
  std::list<CONN> m_conns;  // a list: references stay valid while others are added
  CPrinterCore m_core;
  CDeviceSetup m_setup;
  CSimFaults m_faults;
  SIM_COUNTERS m_counters;
  std::vector<uint8_t> m_outsideData;
  std::vector<uint8_t> m_outsideUsm;
  Clock::time_point m_nextUsm;
  Clock::time_point m_started;
  size_t m_nNextStep = 0;  // in m_options.stateSteps, sorted by time at Start
  CPrinterState m_state;
  CSimThrottle m_throttle;

  std::atomic<bool> m_bStop{false};
  bool m_bStarted = false;
  std::thread m_thread;
};
