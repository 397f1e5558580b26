// Test support: a scriptable communications backend that the engine tests
// install with Comm_RegisterBackendFactory, and the state it shares with the
// test (CFakeCommLink) so the test can see what was written and feed what
// the printer "sends".
//
// TX: every write is recorded. In the default mode it completes at once;
// with HoldWrites(true) it stays pending until CompleteHeldWrite() or until
// the next write cancels it (995), as the real backends do. A responder, when
// set, runs inside Write (on the writer's thread) with the bytes written and
// may Feed() replies.
// RX: Feed() queues bytes for a channel and completes a pending read on it;
// a read with bytes queued completes at once. BreakDown completes pending
// reads and writes with 995.
// Thread safety: every member may be called from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "comm/CommBackend.h"

class CFakeCommLink {
 public:
  using Responder = std::function<void(const BYTE* data, DWORD length)>;

  // Settings, fixed before the backend is set up.
  CommPacketSizes sizes{4096, 256, 4096};
  DWORD readTimeoutMs = 20;
  bool usmChannel = false;

  void SetResponder(Responder responder);
  void SetDevicePresent(int present);
  // GetDeviceStatus answers `result` with these status bits.
  void SetStatus(int result, DWORD status);
  void HoldWrites(bool hold);
  // Completes the held write with `count` bytes and status `error`; false
  // when none is held.
  bool CompleteHeldWrite(DWORD count, DWORD error);
  // Waits until a write is held (or timeoutMs passed).
  bool WaitForHeldWrite(DWORD timeoutMs);
  // Makes the next writes fail at once with this last error (0: succeed).
  void FailWrites(DWORD error);
  // What held writes sent: read from the writer's buffer when they complete,
  // as a backend sending later would.
  std::vector<BYTE> HeldSent() const;
  int UpdateConnectionCalls() const;

  void Feed(int channel, const BYTE* data, DWORD length);
  void Feed(int channel, const std::vector<BYTE>& data) {
    Feed(channel, data.data(), static_cast<DWORD>(data.size()));
  }

  std::vector<BYTE> Written() const;
  std::vector<std::vector<BYTE>> Writes() const;
  size_t WriteCount() const;
  // Waits until at least `bytes` were written.
  bool WaitForWritten(size_t bytes, DWORD timeoutMs) const;
  int ReadCalls(int channel) const;
  // While set, a read call does not return (a library call that hangs);
  // clearing it lets the blocked calls fail with 995.
  void BlockReads(bool block);
  bool WaitForBlockedRead(int channel, DWORD timeoutMs);
  // The most read calls of the channel that were inside the library at once.
  int MaxReadsAtOnce(int channel) const;
  int BreakDowns() const;

  // A backend bound to this link (the library owns it).
  std::unique_ptr<ICommBackend> MakeBackend();

 private:
  friend class CFakeCommBackend;
  struct Channel {
    std::deque<BYTE> queued;
    OVERLAPPED* pending = nullptr;
    BYTE* buffer = nullptr;
    DWORD length = 0;
    int reads = 0;
    int inside = 0;  // blocked read calls
    int maxInside = 0;
  };
  // Completes the pending read of ch when bytes are queued; under m_lock.
  void ServeLocked(Channel& ch);

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  Responder m_responder;
  int m_nPresent = 1;
  int m_nStatusResult = 0;
  DWORD m_dwStatus = 0;
  bool m_bHold = false;
  bool m_bBlockReads = false;
  DWORD m_dwFailError = 0;
  OVERLAPPED* m_pHeld = nullptr;
  const BYTE* m_pHeldBuffer = nullptr;
  DWORD m_dwHeldLength = 0;
  std::vector<BYTE> m_heldSent;
  int m_nUpdateCalls = 0;
  std::vector<BYTE> m_written;
  std::vector<std::vector<BYTE>> m_writes;
  Channel m_channels[COMM_CHANNEL_COUNT];
  int m_nBreakDowns = 0;
  bool m_bConnected = false;
};
