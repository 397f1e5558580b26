#include "platform/InvokerTarget.h"

#include "platform/AppMessages.h"

namespace {

// The slot of a coalesced report, or -1.
int CoalescedSlot(UINT message) {
  if (message == WM_TRANSFER_PROGRESS)
    return 0;
  if (message == WM_TRANSFER_RATE)
    return 1;
  return -1;
}

}  // namespace

LRESULT CInvokerTarget::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_handler ? m_handler(message, wParam, lParam) : 0;
}

BOOL CInvokerTarget::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const int slot = CoalescedSlot(message);
  if (slot >= 0)
    return PostLatest(slot, message, wParam, lParam);
  return m_invoker.Post([this, message, wParam, lParam] { Dispatch(message, wParam, lParam); })
             ? TRUE
             : FALSE;
}

LRESULT CInvokerTarget::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  m_invoker.Call([&] { result = Dispatch(message, wParam, lParam); });
  return result;
}

BOOL CInvokerTarget::PostLatest(int slot, UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_invoker.IsClosed())
    return FALSE;
  {
    std::lock_guard<std::mutex> lock(m_latestLock);
    Latest& latest = m_latest[slot];
    latest.wParam = wParam;
    latest.lParam = lParam;
    if (latest.bWaiting)
      return TRUE;  // the waiting one will carry these values
    latest.bWaiting = true;
  }
  const bool queued = m_invoker.Post([this, slot, message] {
    WPARAM w = 0;
    LPARAM l = 0;
    {
      std::lock_guard<std::mutex> lock(m_latestLock);
      m_latest[slot].bWaiting = false;
      w = m_latest[slot].wParam;
      l = m_latest[slot].lParam;
    }
    Dispatch(message, w, l);
  });
  if (!queued) {
    std::lock_guard<std::mutex> lock(m_latestLock);
    m_latest[slot].bWaiting = false;
  }
  return queued ? TRUE : FALSE;
}
