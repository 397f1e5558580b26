#include "comm/CommLibrary.h"

#include "comm/CommBackendRegistry.h"
#include "platform/LastError.h"

CCommLibrary& CCommLibrary::Instance() {
  // Never destroyed: threads that outlive main() may still hold records.
  static CCommLibrary* instance = new CCommLibrary();
  return *instance;
}

CCommLibrary::CCommLibrary() {
  for (int i = 0; i < COMM_CHANNEL_COUNT; ++i)
    m_records[i].hEvent = &m_events[i];
}

int CCommLibrary::OpenSetup(IMessageTarget* owner, int type) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_backend)
    return 0;
  m_errors.SetOwner(owner);
  std::unique_ptr<ICommBackend> backend = Comm_CreateBackend(type);
  if (!backend) {
    if (type == COMM_TYPE_USB) {
      m_errors.ShowCommError(COMM_ERR_USB_UNAVAILABLE, "USB", "this build has no USB support");
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  if (backend->Setup(&m_errors) == 0)
    return 0;
  for (OVERLAPPED& ov : m_records)
    CompleteOverlapped(&ov, ERROR_SUCCESS, 0);
  for (CEvent& event : m_events)
    event.Reset();
  m_backend = std::move(backend);
  m_nType = type;
  m_nConnect = 0;
  return 1;
}

int CCommLibrary::IsOpened() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_backend ? 1 : 0;
}

void CCommLibrary::CloseCleanup() {
  std::shared_ptr<ICommBackend> backend;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    backend.swap(m_backend);
    m_nType = -1;
    m_nConnect = 0;
  }
  if (!backend)
    return;
  backend->BreakDown();
  backend->Cleanup();
}

int CCommLibrary::BreakDown() {
  std::shared_ptr<ICommBackend> backend = Backend();
  SetConnect(0);
  return backend ? backend->BreakDown() : 0;
}

void CCommLibrary::SetConnect(int available) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_nConnect = available;
}

int CCommLibrary::GetConnect() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_nConnect;
}

int CCommLibrary::Type() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_nType;
}

std::shared_ptr<ICommBackend> CCommLibrary::Backend() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_backend;
}

void* CCommLibrary::Handle(int channel) {
  std::shared_ptr<ICommBackend> backend = Backend();
  if (!backend || !backend->HasChannel(channel))
    return nullptr;
  return &m_handleTokens[channel];
}

int CCommLibrary::ChannelOf(void* handle) {
  for (int i = 0; i < COMM_CHANNEL_COUNT; ++i) {
    if (handle == &m_handleTokens[i])
      return i;
  }
  return -1;
}
