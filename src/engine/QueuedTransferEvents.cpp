#include "engine/QueuedTransferEvents.h"

void CQueuedTransferEvents::OnProgress(int percent, int pass) {
  {
    std::lock_guard<std::mutex> lock(m_latestLock);
    m_latest.nPercent = percent;
    m_latest.nPass = pass;
    if (m_latest.bProgressWaiting)
      return;  // the waiting one delivers these values
    m_latest.bProgressWaiting = true;
  }
  const bool queued = m_invoker.Post([this] {
    int percentNow = 0;
    int passNow = -1;
    {
      std::lock_guard<std::mutex> lock(m_latestLock);
      m_latest.bProgressWaiting = false;
      percentNow = m_latest.nPercent;
      passNow = m_latest.nPass;
    }
    m_receiver.OnProgress(percentNow, passNow);
  });
  if (!queued) {
    std::lock_guard<std::mutex> lock(m_latestLock);
    m_latest.bProgressWaiting = false;
  }
}

void CQueuedTransferEvents::OnRate(double kbytesPerSecond) {
  {
    std::lock_guard<std::mutex> lock(m_latestLock);
    m_latest.dRate = kbytesPerSecond;
    if (m_latest.bRateWaiting)
      return;
    m_latest.bRateWaiting = true;
  }
  const bool queued = m_invoker.Post([this] {
    double rate = -1.0;
    {
      std::lock_guard<std::mutex> lock(m_latestLock);
      m_latest.bRateWaiting = false;
      rate = m_latest.dRate;
    }
    m_receiver.OnRate(rate);
  });
  if (!queued) {
    std::lock_guard<std::mutex> lock(m_latestLock);
    m_latest.bRateWaiting = false;
  }
}

void CQueuedTransferEvents::OnDone(const TransferOutcome& outcome) {
  m_invoker.Post([this, outcome] { m_receiver.OnDone(outcome); });
}

void CQueuedTransferEvents::OnLineStatus(DWORD bits, bool first) {
  m_invoker.Post([this, bits, first] { m_receiver.OnLineStatus(bits, first); });
}

void CQueuedTransferEvents::OnFlashStep(int step, FlashStepState state) {
  m_invoker.Post([this, step, state] { m_receiver.OnFlashStep(step, state); });
}

void CQueuedTransferEvents::OnFlashCrc(unsigned crc) {
  m_invoker.Post([this, crc] { m_receiver.OnFlashCrc(crc); });
}
