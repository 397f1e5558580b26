#include "log/DataLog.h"

// Calls made while logging is off land here and do nothing.
const std::shared_ptr<CDataLog>& CDataLogHolder::Disabled() {
  static const std::shared_ptr<CDataLog> disabled(new CDataLog(CDataLog::DisabledTag{}));
  return disabled;
}

CDataLogHolder::operator bool() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_pLog != nullptr;
}

std::shared_ptr<CDataLog> CDataLogHolder::operator->() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_pLog ? m_pLog : Disabled();
}

std::shared_ptr<CDataLog> CDataLogHolder::Get() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_pLog;
}

void CDataLogHolder::Reset(std::shared_ptr<CDataLog> log) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pLog.swap(log);
  }
  // The old log (now in `log`) is destroyed here, outside the lock, unless a
  // thread is still inside a call on it; then that thread destroys it.
}
