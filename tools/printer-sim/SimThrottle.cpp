#include "SimThrottle.h"

#include <algorithm>

size_t CSimThrottle::Budget(uint32_t rate, size_t unthrottled, Clock::time_point now) {
  if (rate == 0) {
    return unthrottled;
  }
  const double capacity = std::max(1.0, rate / 20.0);  // at most 50 ms of data at once
  const double seconds = std::chrono::duration<double>(now - m_lastRefill).count();
  m_dTokens = std::min(capacity, m_dTokens + seconds * rate);
  m_lastRefill = now;
  return static_cast<size_t>(m_dTokens);
}

void CSimThrottle::Spend(size_t bytes) {
  m_dTokens = std::max(0.0, m_dTokens - static_cast<double>(bytes));
}
