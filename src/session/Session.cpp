#include "session/Session.h"

#include "report/ErrorBoxes.h"

CSession::CSession() : m_pPreviousErrorLog(SetErrorLog(&m_objects.dataLog)) {}

CSession::~CSession() {
  EndFlashDownload();
  m_engine.Shutdown();
  m_engine.SetEvents(nullptr);
  RemoveErrorLog(&m_objects.dataLog, m_pPreviousErrorLog);
  m_objects.dataLog.Reset(nullptr);
}

CFlashDownload* CSession::StartFlashDownload(ITransferEvents* events,
                                             CFlashDownload::PortOpener openPort) {
  EndFlashDownload();
  m_pFlash = std::make_unique<CFlashDownload>(m_engine, events, std::move(openPort));
  return m_pFlash.get();
}

void CSession::EndFlashDownload() {
  if (!m_pFlash)
    return;
  m_pFlash->Stop();
  m_pFlash.reset();
}
