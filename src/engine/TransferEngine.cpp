#include "engine/TransferEngine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "comm/Cablox.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/Notifier.h"
#include "report/ErrorBoxes.h"

CTransferEngine::CTransferEngine(CTransferObjects& objects)
    : m_io(objects),
      m_hReaderStopped(CreateEvent(FALSE, FALSE)),
      m_hUsmReaderStopped(CreateEvent(FALSE, FALSE)),
      m_hStopReader(CreateEvent(FALSE, FALSE)),
      m_hStopUsmReader(CreateEvent(FALSE, FALSE)) {
  m_StatusOverlapped.hEvent = CreateEvent(TRUE, FALSE);
  if (!QueryPerformanceFrequency(&m_llFrequency) || m_llFrequency == 0) {
    AfxMessageBox("error get performance counter freq");
  }
}

CTransferEngine::~CTransferEngine() {
  StopThreadsAtExit();
  if (m_pFileThread || m_pStringThread || m_pReadThread || m_pReadUsmThread)
    return;  // a thread outlived its wait: leave it the events it may wait on
  CloseHandle(m_hReaderStopped);
  CloseHandle(m_hUsmReaderStopped);
  CloseHandle(m_hStopReader);
  CloseHandle(m_hStopUsmReader);
  CloseHandle(m_StatusOverlapped.hEvent);
}

// Transmit threads first (a running job is aborted; its end may still use
// the readers' buffers and the library), then the readers. A thread that
// does not end in time is left running and keeps its slot.
void CTransferEngine::StopThreadsAtExit() {
  m_evShutdown.Set();
  m_io.abort.Set();
  for (std::unique_ptr<CThread>* slot : {&m_pFileThread, &m_pStringThread}) {
    if (*slot && (*slot)->Wait(kExitWaitMs) == WAIT_OBJECT_0)
      slot->reset();
  }
  if (m_pReadThread)
    SetEvent(m_hStopReader);
  if (m_pReadUsmThread)
    SetEvent(m_hStopUsmReader);
  for (std::unique_ptr<CThread>* slot : {&m_pReadThread, &m_pReadUsmThread}) {
    if (*slot && (*slot)->Wait(kExitWaitMs) == WAIT_OBJECT_0)
      slot->reset();
  }
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
  if (m_io.dataLog)
    m_io.dataLog->Log(text, nullptr, 0);
}

void CTransferEngine::LogFormat(const char* format, ...) {
  if (!m_io.dataLog)
    return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  m_io.dataLog->Log(line, nullptr, 0);
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
// *hard is set when it completed with an error (the port failed).
int CollectWrite(CTransferEngine* engine, DWORD length, bool* hard) {
  DWORD written = 0;
  SetLastError(ERROR_SUCCESS);
  BOOL ok = GetOverlappedResult(Comm_GethCommPortTX(), Comm_GetOverlappedTX(), &written, FALSE);
  const DWORD error = GetLastError();
  if (!ok) {
    engine->LogText("Error Transfer - GetOverlappedResult in Writer");
    LogSystemError(error);
  }
  if (written == length)
    return static_cast<int>(written);
  if (error != ERROR_SUCCESS) {
    *hard = written == 0;
    engine->LogText("Error Transfer - writing data to port (overlapped)");
    LogSystemError(error);
  } else {
    engine->LogText("Error Transfer - Write timed out (overlapped)");
  }
  return static_cast<int>(written);
}

}  // namespace

int CTransferEngine::WriterGeneric(const BYTE* buffer, DWORD length, WriteMode mode) {
  OVERLAPPED* ov = Comm_GetOverlappedTX();
  HANDLE handles[2] = {ov != nullptr ? ov->hEvent : nullptr, m_io.AbortEvent()};
  m_bHardFailure = false;
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
    m_bHardFailure = true;
    LogLastSystemError();
    LogText("Error Transfer - Write failed but is not delayed");
    return -1;
  }
  const bool whole = mode == kWhole;
  DWORD wait =
      WaitForMultipleObjects(whole ? 1 : 2, handles, FALSE, whole ? kWholeWriteWaitMs : INFINITE);
  switch (wait) {
    case WAIT_OBJECT_0:
      return CollectWrite(this, length, &m_bHardFailure);
    case WAIT_OBJECT_0 + 1:
      LogText("Error Transfer - Write aborted by user");
      Comm_AbortOutput();  // the break-down need not wait for this output
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

int CTransferEngine::WritePacket(const BYTE* buffer, DWORD length, DWORD chunk, int logFlag,
                                 WriteMode mode) {
  // A chunk size of 0 would never get through the buffer.
  if (chunk == 0 || chunk > kTxStagingSize)
    chunk = kTxStagingSize;
  for (DWORD offered = 0; offered < length && !IsPortLost();) {
    DWORD piece = length - offered < chunk ? length - offered : chunk;
    CountPiece(piece, WriterGeneric(buffer + offered, piece, mode));
    offered += piece;
  }
  if (m_io.dataLog && logFlag == 1) {
    char line[64];
    std::snprintf(line, sizeof line, "String Transfer. Size = %d bytes\n",
                  static_cast<int>(length));
    m_io.dataLog->Log(line, length < 256 ? buffer : nullptr, length < 256 ? length : 0);
  }
  return static_cast<int>(length);
}

void CTransferEngine::CountPiece(DWORD piece, int written) {
  if (written == static_cast<int>(piece)) {
    m_qwDelivered += piece;
    m_nHardFailures = 0;
    return;
  }
  ++m_nFailedPieces;
  if (written > 0)
    m_qwDelivered += static_cast<DWORD>(written);
  if (m_bHardFailure)
    ++m_nHardFailures;
  // A device that is gone will fail every further piece.
  if (!IsAborted() && Comm_IsDevicePresent() == 0)
    m_nHardFailures = kHardFailureLimit;
}

void CTransferEngine::BeginJob() {
  m_qwDelivered = 0;
  m_nFailedPieces = 0;
  m_nHardFailures = 0;
}

TransferOutcome CTransferEngine::EndJob(bool failed) {
  TransferOutcome o;
  o.qwBytesDelivered = m_qwDelivered;
  o.dwFailedPieces = m_nFailedPieces;
  o.bStopped = IsPortLost();
  if (IsAborted()) {
    o.nResult = TRANSFER_ABORTED;
  } else if (failed || o.dwFailedPieces != 0 || o.bStopped) {
    o.nResult = TRANSFER_FAILED;
  }
  SetLastOutcome(o);
  return o;
}

TransferOutcome CTransferEngine::GetLastOutcome() const {
  std::lock_guard<std::mutex> guard(m_outcomeLock);
  return m_lastOutcome;
}

void CTransferEngine::SetLastOutcome(const TransferOutcome& outcome) {
  std::lock_guard<std::mutex> guard(m_outcomeLock);
  m_lastOutcome = outcome;
}
