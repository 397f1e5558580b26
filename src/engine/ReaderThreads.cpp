// The reader threads and their control: ThreadRead (data channel and line
// status) and ThreadReadUsm (unsolicited status messages).
#include <sys/stat.h>

#include <cstring>
#include <functional>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/DebugOutput.h"
#include "platform/LastError.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

int CTransferEngine::StartReaders() {
  ResetEvent(m_hStopReader);
  ResetEvent(m_hStopUsmReader);
  if (!m_pReadThread) {
    ResetEvent(m_hReaderStopped);
    m_pReadThread = CThread::Create([this] { return ThreadRead(this); },
                                    THREAD_PRIORITY_ABOVE_NORMAL, "Thread Read");
    if (!m_pReadThread) {
      ShowErrorText(kErrorReceiveThreadStart);
      return 0;
    }
  }
  if (m_nUsmChannel == 1 && !m_pReadUsmThread) {
    ResetEvent(m_hUsmReaderStopped);
    m_pReadUsmThread = CThread::Create([this] { return ThreadReadUsm(this); },
                                       THREAD_PRIORITY_ABOVE_NORMAL, "Thread Read USM");
    if (!m_pReadUsmThread) {
      ShowErrorText(kErrorReceiveThreadStart);
      return 0;
    }
  }
  return 1;
}

void CTransferEngine::StopReaders() {
  HANDLE stopped[2];
  DWORD running = 0;
  if (m_pReadThread)
    stopped[running++] = m_hReaderStopped;
  if (m_pReadUsmThread)
    stopped[running++] = m_hUsmReaderStopped;
  SetEvent(m_hStopReader);
  SetEvent(m_hStopUsmReader);
  if (running > 0 &&
      WaitForMultipleObjects(running, stopped, TRUE, m_dwStopReadersTimeoutMs) != WAIT_OBJECT_0) {
    if (m_pReadThread && !m_hReaderStopped->IsSet())
      ShowErrorText(kErrorDataReaderStopTimeout);
    if (m_pReadUsmThread && !m_hUsmReaderStopped->IsSet())
      ShowErrorText(kErrorStatusReaderStopTimeout);
    ShowErrorText(kErrorReadersStopTimeout);
  }
  ResetEvent(m_hStopReader);
  ResetEvent(m_hStopUsmReader);
  // A reader that signalled its end is a moment from returning: give it that
  // moment so its slot is joined. One that is still running keeps its slot:
  // a second reader in it would share the read buffer and the file batch.
  for (std::unique_ptr<CThread>* slot : {&m_pReadThread, &m_pReadUsmThread}) {
    if (*slot && (*slot)->Wait(kReaderEndWaitMs) == WAIT_OBJECT_0)
      slot->reset();
  }
}

namespace {

// Writes the data reader's batch to the received-data file (lock held).
void FlushRxFileLocked(CTransferEngine* engine) {
  if (engine->m_nRxFileBatch == 0)
    return;
  if (engine->m_io.rxDataFile.IsOpen())
    engine->m_io.rxDataFile.Append(engine->m_RxFileBatch, engine->m_nRxFileBatch);
  engine->m_nRxFileBatch = 0;
}

void FlushRxFile(CTransferEngine* engine) {
  std::lock_guard<std::mutex> lock(engine->m_rxDataLock);
  FlushRxFileLocked(engine);
}

// Received data: only from a present device; the file (batched), the ring
// and the display's feed, together under the lock "Clear Buffer" takes, so
// a byte is either cleared from both the file and the feed or kept in both.
void DeliverData(CTransferEngine* engine, const BYTE* data, DWORD count) {
  if (count == 0 || Comm_IsDevicePresent() != 1)
    return;
  std::lock_guard<std::mutex> lock(engine->m_rxDataLock);
  if (engine->m_nRxFileBatch + count > CTransferEngine::kRxFileBatchSize)
    FlushRxFileLocked(engine);
  std::memcpy(engine->m_RxFileBatch + engine->m_nRxFileBatch, data, count);
  engine->m_nRxFileBatch += count;
  engine->m_io.rxDataFeed.Put(data, count);
  engine->m_io.rxDataBuffer.Put(data, count);
}

void DeliverUsm(CTransferEngine* engine, const BYTE* data, DWORD count) {
  if (count == 0 || Comm_IsDevicePresent() != 1)
    return;
  engine->m_io.rxUsmFeed.Put(data, count);
}

// Takes over the read a previous reader of the channel left pending: true
// while it still is; a completed one is delivered (or, failed, dropped).
bool TakeOverRead(void* handle, OVERLAPPED* ov, bool leftPending, const BYTE* buffer,
                  const std::function<void(const BYTE*, DWORD)>& deliver) {
  if (!leftPending || ov == nullptr)
    return false;
  if (IsOverlappedPending(ov))
    return true;
  DWORD got = 0;
  if (GetOverlappedResult(handle, ov, &got, FALSE))
    deliver(buffer, got);
  return false;
}

void LogError(CTransferEngine* engine, const char* text) {
  DWORD code = GetLastError();
  engine->LogText(text);
  LogSystemError(code);
}

// The data reader's state between loop rounds.
struct CReadLoop {
  CTransferEngine* engine;
  DWORD statusLength = 0;
  DWORD status = 0;
  bool readPending = false;
  bool statusPending = false;

  void ReportStatusIfAny(bool first) {
    ITransferEvents* events = engine->GetEvents();
    if (Comm_GetDeviceStatus(engine->m_StatusBuffer, statusLength, status) == 1 &&
        events != nullptr) {
      events->OnLineStatus(status, first);
    }
  }
  // Starts a read; false when the reader must end.
  bool StartRead() {
    DWORD got = 0;
    const DWORD size = engine->m_nInterfaceType == COMM_TYPE_TCPIP ? CTransferEngine::kTcpReadSize
                                                                   : CTransferEngine::kReadSize;
    if (Comm_ReadPort(Comm_GethCommPortRX(), engine->m_ReadBuffer, size, &got,
                      Comm_GetOverlappedRX())) {
      readPending = false;
      DeliverData(engine, engine->m_ReadBuffer, got);
      return true;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      readPending = true;
      return true;
    }
    LogError(engine, "Error Transfer - Error ReadFile in ThreadRead");
    return false;
  }
  void StartStatus() {
    int r = Comm_InitGetDeviceStatus(engine->m_StatusBuffer, CTransferEngine::kReadSize,
                                     &statusLength, engine->m_StatusOverlapped);
    if (r == 1) {
      statusPending = false;
      ReportStatusIfAny(false);
    } else if (r == 3) {
      statusPending = true;
    } else if (r == 0) {
      statusPending = false;
    }
  }
  // Handles one wait result; false when the reader must end.
  bool OnWait(DWORD wait) {
    bool error = false;
    switch (wait) {
      case WAIT_OBJECT_0: {
        DWORD got = 0;
        if (!GetOverlappedResult(Comm_GethCommPortRX(), Comm_GetOverlappedRX(), &got, FALSE)) {
          LogError(engine, "Error Transfer - Data read GetOverlappedResult in ThreadRead");
          error = true;
        } else {
          DeliverData(engine, engine->m_ReadBuffer, got);
        }
        readPending = false;
        return !error;
      }
      case WAIT_OBJECT_0 + 1:
        return false;
      case WAIT_OBJECT_0 + 2:
        if (!GetOverlappedResult(Comm_GethCommPortRX(), &engine->m_StatusOverlapped, &statusLength,
                                 FALSE)) {
          LogError(engine, "Error Transfer - Status Read GetOverlappedResult in ThreadRead");
          error = true;
        } else {
          ReportStatusIfAny(false);
        }
        statusPending = false;
        return !error;
      case WAIT_TIMEOUT:
        if (engine->m_nCheckStatus == 1)
          ReportStatusIfAny(false);
        return true;
      default:
        return false;
    }
  }
  void Run() {
    OVERLAPPED* rx = Comm_GetOverlappedRX();
    HANDLE handles[3] = {rx != nullptr ? rx->hEvent : nullptr, engine->m_hStopReader,
                         engine->m_StatusOverlapped.hEvent};
    if (engine->m_nCheckStatus == 1)
      ReportStatusIfAny(true);
    readPending =
        TakeOverRead(Comm_GethCommPortRX(), rx, engine->m_bReadLeftPending, engine->m_ReadBuffer,
                     [this](const BYTE* data, DWORD count) { DeliverData(engine, data, count); });
    for (;;) {
      bool startRead = false;
      bool startStatus = false;
      if (!readPending) {
        startRead = true;
        if (handles[0] != nullptr)
          ResetEvent(handles[0]);
      }
      if (!statusPending) {
        ResetEvent(handles[2]);
        startStatus = engine->m_nCheckStatus == 1;
      }
      if (startRead && !StartRead())
        return;
      if (startStatus)
        StartStatus();
      if (engine->m_hStopReader->IsSet())
        return;
      if (!readPending && !statusPending)
        continue;
      FlushRxFile(engine);  // nothing more at hand: the file catches up
      if (!OnWait(WaitForMultipleObjects(3, handles, FALSE, Comm_GetReadTimeout())))
        return;
    }
  }
};

}  // namespace

int CTransferEngine::ClearReceivedData() {
  std::lock_guard<std::mutex> lock(m_rxDataLock);
  m_nRxFileBatch = 0;
  m_io.rxDataFeed.Discard();
  m_io.rxUsmFeed.Discard();
  return m_io.rxDataFile.Empty();
}

void CTransferEngine::FlushReceivedData() {
  FlushRxFile(this);
}

int CTransferEngine::EnableDisplayFeeds(bool enable) {
  std::lock_guard<std::mutex> lock(m_rxDataLock);
  m_io.rxDataFeed.SetEnabled(enable);
  m_io.rxUsmFeed.SetEnabled(enable);
  // A regular file only: "-F:/dev/null" keeps nothing to read back.
  struct stat st = {};
  return enable && m_nRxFileBatch == 0 && m_io.rxDataFile.IsOpen() &&
                 fstat(m_io.rxDataFile.GetHandle(), &st) == 0 && S_ISREG(st.st_mode) &&
                 st.st_size == 0
             ? 1
             : 0;
}

DWORD ThreadRead(CTransferEngine* engine) {
  OutputDebugStringA("** Thread Read started\r\n");
  engine->LogText("Transfer Thread Read started");
  CReadLoop loop{engine};
  loop.Run();
  FlushRxFile(engine);
  engine->m_bReadLeftPending = loop.readPending;
  SetEvent(engine->m_hReaderStopped);
  OutputDebugStringA("** Thread Read stopped\r\n");
  engine->LogText("Transfer Thread Read stopped");
  return 0;
}

DWORD ThreadReadUsm(CTransferEngine* engine) {
  OutputDebugStringA("** Thread Read USM started\r\n");
  engine->LogText("Transfer Thread Read USM started");
  OVERLAPPED* ov = Comm_GetOverlappedRXUsm();
  HANDLE handles[2] = {ov != nullptr ? ov->hEvent : nullptr, engine->m_hStopUsmReader};
  BYTE* buffer = engine->m_UsmReadBuffer;
  const auto deliver = [engine](const BYTE* data, DWORD count) { DeliverUsm(engine, data, count); };
  bool pending =
      TakeOverRead(Comm_GethCommPortRXUsm(), ov, engine->m_bUsmReadLeftPending, buffer, deliver);
  for (;;) {
    DWORD got = 0;
    if (!pending) {
      if (Comm_ReadPort(Comm_GethCommPortRXUsm(), buffer, CTransferEngine::kReadSize, &got, ov)) {
        DeliverUsm(engine, buffer, got);
      } else if (GetLastError() == ERROR_IO_PENDING) {
        pending = true;
      } else {
        LogError(engine, "Error Transfer - ReadFile in ThreadRead USM");
        break;
      }
    }
    if (engine->m_hStopUsmReader->IsSet())
      break;
    if (!pending)
      continue;
    DWORD wait = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (wait == WAIT_TIMEOUT)
      continue;
    if (wait != WAIT_OBJECT_0)
      break;
    pending = false;
    if (GetOverlappedResult(Comm_GethCommPortRXUsm(), ov, &got, FALSE)) {
      DeliverUsm(engine, buffer, got);
    } else if (GetLastError() == ERROR_OPERATION_ABORTED ||
               GetLastError() == ERROR_FILE_NOT_FOUND) {
      engine->LogText("Error Transfer - Read USM aborted USM");
      break;
    } else {
      LogError(engine, "Error Transfer - GetOverlappedResult in ThreadRead USM");
    }
  }
  engine->m_bUsmReadLeftPending = pending;
  SetEvent(engine->m_hUsmReaderStopped);
  engine->LogText("Transfer Thread Read USM stopped");
  OutputDebugStringA("** Thread Read USM stopped\r\n");
  return 0;
}
