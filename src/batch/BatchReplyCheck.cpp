#include "batch/BatchReplyCheck.h"

#include <chrono>

CBatchReplyCheck::~CBatchReplyCheck() {
  StopTimer();
}

bool CBatchReplyCheck::Configure(const std::string& pattern, int timeoutMs) {
  if (!m_pattern.Parse(pattern))
    return false;
  m_nTimeoutMs = timeoutMs > 0 ? timeoutMs : kDefaultReplyTimeoutMs;
  m_bActive = true;
  return true;
}

bool CBatchReplyCheck::OnRx(const BYTE* data, DWORD size) {
  if (!m_bActive || m_pattern.Matched()) {
    return false;
  }
  if (!m_pattern.Feed(data, size) || !m_bWaiting)
    return false;
  m_bWaiting = false;
  StopTimer();
  return true;
}

bool CBatchReplyCheck::ActionEnded(IMessageTarget* target) {
  if (!m_bActive || m_pattern.Matched())
    return true;
  StopTimer();
  m_bWaiting = true;
  m_bCancelled = false;
  const auto timeout = std::chrono::milliseconds(m_nTimeoutMs);
  m_timer = std::thread([this, target, timeout] {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_wake.wait_for(lock, timeout, [this] { return m_bCancelled; }))
      target->PostMessage(WM_REPLY_TIMEOUT, 0, 0);
  });
  return false;
}

bool CBatchReplyCheck::Expired() {
  if (!m_bWaiting || m_pattern.Matched())
    return false;
  m_bWaiting = false;
  StopTimer();
  return true;
}

std::string CBatchReplyCheck::FailureText() const {
  const std::string received = m_pattern.Received();
  return "expected reply " + m_pattern.Text() + " not received within " +
         std::to_string(m_nTimeoutMs) +
         " ms; received: " + (received.empty() ? "nothing" : received);
}

void CBatchReplyCheck::StopTimer() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bCancelled = true;
  }
  m_wake.notify_all();
  if (m_timer.joinable())
    m_timer.join();
}
