#include "windowlogic/MemoryReceiveDisplay.h"

#include "platform/EventLoop.h"

namespace {

constexpr int kClearBuffer = 1029;

}  // namespace

CMemoryReceiveDisplay::~CMemoryReceiveDisplay() {
  Stop();
}

int CMemoryReceiveDisplay::Start() {
  m_pump.Start();
  if (m_nTimer == 0)
    m_nTimer = m_loop.AddTimer(CReceivePump::kPollMs, [this] { m_pump.Poll(); });
  return 1;
}

void CMemoryReceiveDisplay::Stop() {
  m_pump.Stop();
  if (m_nTimer != 0)
    m_loop.KillTimer(m_nTimer);
  m_nTimer = 0;
}

void CMemoryReceiveDisplay::NoteStringSent(const BYTE* bytes, size_t count) {
  m_pump.NoteStringSent(bytes, count);
}

void CMemoryReceiveDisplay::OnCommand(int id) {
  if (id == kClearBuffer)
    m_pump.ClearBuffer();
}
