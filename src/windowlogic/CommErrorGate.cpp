#include "windowlogic/CommErrorGate.h"

#include "platform/Clock.h"
#include "report/ErrorBoxes.h"

CCommErrorGate::CCommErrorGate() : m_fnNow([] { return static_cast<uint64_t>(NowMs()); }) {}

void CCommErrorGate::Report(int code, const COMM_ERROR_RECORD* record) {
  const uint64_t now = m_fnNow();
  if (code == m_nCode && (m_nOpen > 0 || now - m_shownMs < kSameEventMs)) {
    LogCommError(code, record);
    return;
  }
  m_nCode = code;
  m_shownMs = now;
  ++m_nOpen;
  ShowCommError(code, record);
  --m_nOpen;
  m_shownMs = m_fnNow();  // what the box held back is still this event
}
