// One peer of the virtual printer: a TCP connection on one of its ports, or
// the pseudo-terminal, with the bytes queued for it. Each queued segment has
// a time before which it is not sent, so a reply can be delayed as a slow
// printer's would be.
//
// Threading: owned by CPrinterSim and used only under its lock.
// Ownership: the fd is the owner's to close (the pseudo-terminal's belongs
// to its CPtyLink).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

// Which face of the printer a connection came in on.
enum class SimFace { Main, Rt, Usm, Pty };

class CSimConnection {
 public:
  using Clock = std::chrono::steady_clock;

  CSimConnection(int socket, SimFace face) : fd(socket), nKind(face) {}

  // Queues `bytes` to be sent `delayMs` from now; nothing once closing.
  void Queue(std::vector<uint8_t> bytes, uint32_t delayMs);
  // Sends what is due by `now`, as much as the socket takes (a bounded
  // number of writes). Returns the bytes sent; sets bClose when a socket
  // peer has gone.
  uint64_t Write(Clock::time_point now);
  // True when a queued segment is due by `now`.
  bool HasDueOutput(Clock::time_point now) const;
  // True when the head segment waits for a later time, given in `due`.
  bool WaitsForLater(Clock::time_point now, Clock::time_point& due) const;
  // Bytes queued and not yet sent.
  size_t Queued() const { return m_nQueued; }
  // Every face but the USM port carries print data and commands.
  bool IsData() const { return nKind != SimFace::Usm; }

  int fd = -1;
  SimFace nKind = SimFace::Main;
  uint64_t qwReceived = 0;
  bool bClose = false;  // removed at the end of the I/O thread's round

 private:
  struct SEGMENT {
    std::vector<uint8_t> bytes;
    size_t nSent = 0;
    Clock::time_point due;
  };
  std::deque<SEGMENT> m_out;
  size_t m_nQueued = 0;
};
