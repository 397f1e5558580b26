#include "SimConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

constexpr int kMaxWritesPerRound = 64;  // the I/O thread serves others between

}  // namespace

void CSimConnection::Queue(std::vector<uint8_t> bytes, uint32_t delayMs) {
  if (bytes.empty() || bClose) {
    return;
  }
  SEGMENT segment;
  segment.due = Clock::now() + std::chrono::milliseconds(delayMs);
  m_nQueued += bytes.size();
  segment.bytes = std::move(bytes);
  m_out.push_back(std::move(segment));
}

uint64_t CSimConnection::Write(Clock::time_point now) {
  uint64_t sent = 0;
  for (int round = 0; round < kMaxWritesPerRound && !m_out.empty() && !bClose; ++round) {
    SEGMENT& head = m_out.front();
    if (head.due > now) {
      break;
    }
    const uint8_t* data = head.bytes.data() + head.nSent;
    const size_t left = head.bytes.size() - head.nSent;
    const ssize_t n =
        nKind == SimFace::Pty ? write(fd, data, left) : send(fd, data, left, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR && nKind != SimFace::Pty) {
        bClose = true;
      }
      break;
    }
    head.nSent += static_cast<size_t>(n);
    m_nQueued -= static_cast<size_t>(n);
    sent += static_cast<uint64_t>(n);
    if (head.nSent < head.bytes.size()) {
      break;
    }
    m_out.pop_front();
  }
  return sent;
}

bool CSimConnection::HasDueOutput(Clock::time_point now) const {
  return !m_out.empty() && m_out.front().due <= now;
}

bool CSimConnection::WaitsForLater(Clock::time_point now, Clock::time_point& due) const {
  if (m_out.empty() || m_out.front().due <= now) {
    return false;
  }
  due = m_out.front().due;
  return true;
}
