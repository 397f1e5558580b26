#include "engine/TransferEngine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "comm/Cablox.h"
#include "engine/TransferGlobals.h"
#include "log/DataLog.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/Notifier.h"
#include "report/ErrorBoxes.h"

CTransferEngine::CTransferEngine()
    : m_hReaderStopped(CreateEvent(FALSE, FALSE)),
      m_hUsmReaderStopped(CreateEvent(FALSE, FALSE)),
      m_hStopReader(CreateEvent(FALSE, FALSE)),
      m_hStopUsmReader(CreateEvent(FALSE, FALSE)) {
  m_StatusOverlapped.hEvent = CreateEvent(TRUE, FALSE);
  if (!QueryPerformanceFrequency(&m_llFrequency) || m_llFrequency == 0) {
    AfxMessageBox("error get performance counter freq");
  }
}

CTransferEngine::~CTransferEngine() {
  if (g_hAbortEvent != nullptr) {
    CloseHandle(g_hAbortEvent);
    g_hAbortEvent = nullptr;
  }
  CloseHandle(m_hReaderStopped);
  CloseHandle(m_hUsmReaderStopped);
  CloseHandle(m_hStopReader);
  CloseHandle(m_hStopUsmReader);
  CloseHandle(m_StatusOverlapped.hEvent);
}

int CreateAbortEvent() {
  if (g_hAbortEvent == nullptr)
    g_hAbortEvent = CreateEvent(TRUE, FALSE);
  if (g_hAbortEvent == nullptr) {
    CTransferEngine::LogText("Error Transfer - Create Transfer Abort event");
    return 0;
  }
  return 1;
}

void CTransferEngine::SetRepeatParams(int enabled, int count, int delayMs) {
  m_bRepeat = enabled;
  m_nRepeatCount = enabled ? count : 1;
  m_nDelay = delayMs;
}

int CTransferEngine::SetConnectionParams(int type, DWORD port, int outputPort, int realTimeChannel,
                                         int usmChannel, int checkStatus) {
  m_nInterfaceType = type;
  m_nPort = port;
  m_nOutputPort = outputPort;
  m_nRealTimeChannel = realTimeChannel;
  m_nUsmChannel = usmChannel;
  m_nCheckStatus = checkStatus;
  return 1;
}

void CTransferEngine::LogText(const char* text) {
  if (g_pDataLog)
    g_pDataLog->Log(text, nullptr, 0);
}

void CTransferEngine::LogFormat(const char* format, ...) {
  if (!g_pDataLog)
    return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g_pDataLog->Log(line, nullptr, 0);
}

BOOL CTransferEngine::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pTarget == nullptr)
    return FALSE;
  return m_pTarget->PostMessage(message, wParam, lParam);
}

int CTransferEngine::StartTransferTimer() {
  return QueryPerformanceCounter(&m_llStartCount) ? 1 : 0;
}

DWORD CTransferEngine::GetElapsedMs() {
  LONGLONG now = 0;
  QueryPerformanceCounter(&now);
  if (m_llFrequency == 0)
    return 0;
  return static_cast<DWORD>((now - m_llStartCount) * 1000 / m_llFrequency);
}

namespace {

void LogLastSystemError() {
  LogSystemError(GetLastError());
}

// The pending write finished: its count, or the reason it fell short.
int CollectWrite(DWORD length) {
  DWORD written = 0;
  SetLastError(ERROR_SUCCESS);
  BOOL ok = GetOverlappedResult(Comm_GethCommPortTX(), Comm_GetOverlappedTX(), &written, FALSE);
  const DWORD error = GetLastError();
  if (!ok) {
    CTransferEngine::LogText("Error Transfer - GetOverlappedResult in Writer");
    LogSystemError(error);
  }
  if (written == length)
    return static_cast<int>(written);
  if (error != ERROR_SUCCESS) {
    CTransferEngine::LogText("Error Transfer - writing data to port (overlapped)");
    LogSystemError(error);
  } else {
    CTransferEngine::LogText("Error Transfer - Write timed out (overlapped)");
  }
  return static_cast<int>(written);
}

}  // namespace

int CTransferEngine::WriterGeneric(const BYTE* buffer, DWORD length) {
  OVERLAPPED* ov = Comm_GetOverlappedTX();
  HANDLE handles[2] = {ov != nullptr ? ov->hEvent : nullptr, g_hAbortEvent};
  DWORD written = 0;
  if (length <= kTxStagingSize) {
    BYTE* staged = m_TxStaging[m_nTxStaging];
    m_nTxStaging ^= 1;
    std::memcpy(staged, buffer, length);
    buffer = staged;
  }
  if (Comm_WritePort(Comm_GethCommPortTX(), buffer, length, &written, ov)) {
    if (written == length)
      return static_cast<int>(written);
    LogText("Error Transfer - Write returned immediately, written != to write");
    return -1;
  }
  if (GetLastError() != ERROR_IO_PENDING) {
    LogLastSystemError();
    LogText("Error Transfer - Write failed but is not delayed");
    return -1;
  }
  DWORD wait = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  switch (wait) {
    case WAIT_OBJECT_0:
      return CollectWrite(length);
    case WAIT_OBJECT_0 + 1:
      LogText("Error Transfer - Write aborted by user");
      return -1;
    case WAIT_TIMEOUT:
      LogText("Error Transfer - Wait Timeout in WriterGeneric");
      return -1;
    case WAIT_FAILED:
      LogLastSystemError();
      LogText("Error Transfer - Error Wait Failed in WriterGeneric");
      return -1;
    default:
      LogLastSystemError();
      LogText("Error Transfer - WaitForMultipleObjects in WriterGeneric");
      return -1;
  }
}

int CTransferEngine::WritePacket(const BYTE* buffer, DWORD length, DWORD chunk, int logFlag) {
  // A chunk size of 0 would never get through the buffer.
  if (chunk == 0 || chunk > kTxStagingSize)
    chunk = kTxStagingSize;
  for (DWORD offered = 0; offered < length;) {
    DWORD piece = length - offered < chunk ? length - offered : chunk;
    WriterGeneric(buffer + offered, piece);
    offered += piece;
  }
  if (g_pDataLog && logFlag == 1) {
    char line[64];
    std::snprintf(line, sizeof line, "String Transfer. Size = %d bytes\n",
                  static_cast<int>(length));
    g_pDataLog->Log(line, length < 256 ? buffer : nullptr, length < 256 ? length : 0);
  }
  return static_cast<int>(length);
}
