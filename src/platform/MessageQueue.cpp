#include "platform/MessageQueue.h"

#include <chrono>

BOOL CMessageQueue::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  QueuedMessage m{message, wParam, lParam, false};
  if (m_hook)
    m_hook(m);
  Record(m);
  return TRUE;
}

LRESULT CMessageQueue::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  QueuedMessage m{message, wParam, lParam, true};
  LRESULT result = m_hook ? m_hook(m) : 1;
  Record(m);
  return result;
}

void CMessageQueue::SetHook(Hook hook) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_hook = std::move(hook);
}

void CMessageQueue::Record(const QueuedMessage& m) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_messages.push_back(m);
  }
  m_changed.notify_all();
}

std::vector<QueuedMessage> CMessageQueue::Snapshot() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return std::vector<QueuedMessage>(m_messages.begin(), m_messages.end());
}

std::vector<QueuedMessage> CMessageQueue::Filter(UINT message) const {
  std::lock_guard<std::mutex> guard(m_lock);
  std::vector<QueuedMessage> out;
  for (const QueuedMessage& m : m_messages) {
    if (m.message == message)
      out.push_back(m);
  }
  return out;
}

size_t CMessageQueue::Count(UINT message) const {
  return Filter(message).size();
}

bool CMessageQueue::WaitForCount(UINT message, size_t count, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_lock);
  auto enough = [&] {
    size_t n = 0;
    for (const QueuedMessage& m : m_messages)
      n += m.message == message ? 1 : 0;
    return n >= count;
  };
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), enough);
}

bool CMessageQueue::Take(QueuedMessage* out, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(m_lock);
  if (!m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return !m_messages.empty(); })) {
    return false;
  }
  *out = m_messages.front();
  m_messages.pop_front();
  return true;
}

void CMessageQueue::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_messages.clear();
}
