// How fast the virtual printer takes print data while a throttle fault is
// set: a token bucket of at most 50 ms of data at the set rate, so a
// throttled printer reads in small steps, as a slow mechanism drains its
// buffer, rather than in bursts.
//
// Threading: owned by CPrinterSim and used only under its lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

class CSimThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  // Bytes that may be read now at `rate` bytes a second; `unthrottled`
  // when the rate is 0.
  size_t Budget(uint32_t rate, size_t unthrottled, Clock::time_point now);
  // Takes `bytes` read at a non-zero rate out of the bucket.
  void Spend(size_t bytes);
  // Starts refilling from `now` (the printer's start).
  void Restart(Clock::time_point now) { m_lastRefill = now; }

 private:
  double m_dTokens = 0;
  Clock::time_point m_lastRefill;
};
