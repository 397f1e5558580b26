#include "windowlogic/MemoryReceiveDisplay.h"

#include <chrono>

#include "platform/ControlIds.h"
#include "platform/EventLoop.h"
#include "platform/StopRequest.h"

namespace {}  // namespace

CMemoryReceiveDisplay::~CMemoryReceiveDisplay() {
  Stop();
}

int CMemoryReceiveDisplay::Start() {
  m_pump.Start();
  if (m_nTimer == 0)
    m_nTimer = m_loop.AddTimer(CReceivePump::kPollMs, [this] { m_pump.Poll(); });
  return 1;
}

void CMemoryReceiveDisplay::Settle() {
  if (!m_pump.WantsSettle())
    return;
  using Clock = std::chrono::steady_clock;
  // Only the settling poll takes the feeds now, so that it sees every byte.
  m_loop.KillTimer(m_nTimer);
  m_nTimer = 0;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(CReceivePump::kSettleMaxMs);
  Clock::time_point quietSince = Clock::now();
  const int timer = m_loop.AddTimer(CReceivePump::kSettlePollMs, [&] {
    if (m_pump.Poll() > 0)
      quietSince = Clock::now();
    if (Clock::now() - quietSince >= std::chrono::milliseconds(CReceivePump::kSettleQuietMs) ||
        Clock::now() >= deadline || IsStopRequested())
      m_loop.Quit();
  });
  m_loop.Run();
  m_loop.KillTimer(timer);
  m_bSettled = true;
}

void CMemoryReceiveDisplay::Stop() {
  m_pump.Stop(!m_bSettled);
  if (m_nTimer != 0)
    m_loop.KillTimer(m_nTimer);
  m_nTimer = 0;
}

void CMemoryReceiveDisplay::NoteStringSent(const BYTE* bytes, size_t count) {
  m_pump.NoteStringSent(bytes, count);
}

void CMemoryReceiveDisplay::OnCommand(int id) {
  if (id == kIdcClearBuffer)
    m_pump.ClearBuffer();
}
