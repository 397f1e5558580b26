#include "comm/RxFeed.h"

void CRxFeed::Put(const BYTE* data, DWORD length) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_bEnabled && length > 0)
    m_pending.insert(m_pending.end(), data, data + length);
}

size_t CRxFeed::Take(std::vector<BYTE>* out) {
  out->clear();
  std::lock_guard<std::mutex> lock(m_lock);
  out->swap(m_pending);
  return out->size();
}

void CRxFeed::Discard() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_pending.clear();
}

void CRxFeed::SetEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_bEnabled = enabled;
  if (!enabled) {
    m_pending.clear();
    m_pending.shrink_to_fit();
  }
}

bool CRxFeed::IsEnabled() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_bEnabled;
}
