// The two transmit threads: the file transfer (passes, repeat, continuous
// mode, delay, abort, the USB refresh between repeats, progress and rate)
// and the string transfer.
#include <algorithm>
#include <vector>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "engine/TransferGlobals.h"
#include "log/DataLog.h"
#include "platform/AppMessages.h"
#include "platform/DebugOutput.h"

namespace {

constexpr int kPassStop = -1;

// One pass over g_TransferFile. 1 when the whole file was offered, 0 when
// aborted (no completion line then), kPassStop when the job cannot go on:
// the file gave out early or the port is lost (each line logged).
int RunFilePass(CTransferEngine* engine, LPARAM passTag) {
  const DWORD packet = std::max<DWORD>(Comm_GetCommPacketSize(), 1);
  // The pass buffer holds one download packet; should the library report a
  // larger comm packet, the buffer grows to it rather than overflow.
  std::vector<BYTE> buffer(std::max<DWORD>(Comm_GetDownloadPacketSize(), packet));
  const DWORD size = g_TransferFile.GetSize();
  g_TransferFile.SeekToStart();
  engine->StartTransferTimer();
  DWORD sent = 0;
  DWORD lastPercent = 0;
  DWORD elapsed = 0;
  while (sent < size) {
    if (IsAborted())
      return 0;
    DWORD want = std::min(packet, size - sent);
    DWORD got = 0;
    if (!g_TransferFile.Read(buffer.data(), want, &got) || got == 0) {
      // A file that shrank under us would otherwise spin here for ever.
      CTransferEngine::LogText("Error Transfer - Read of transfer file failed");
      return kPassStop;
    }
    engine->WritePacket(buffer.data(), got, packet, 0);
    if (engine->IsPortLost() && !IsAborted())
      return kPassStop;
    sent += got;
    DWORD percent = static_cast<DWORD>(static_cast<unsigned long long>(sent) * 100 / size);
    if (percent != lastPercent) {
      engine->Post(WM_TRANSFER_PROGRESS, percent, passTag);
      elapsed = engine->GetElapsedMs();
      if (elapsed != 0) {
        engine->m_dTransferRate.store(static_cast<double>(sent) * 1.024 /
                                      static_cast<double>(elapsed));
      }
      engine->Post(WM_TRANSFER_RATE, elapsed, reinterpret_cast<LPARAM>(&engine->m_dTransferRate));
      lastPercent = percent;
    }
  }
  if (elapsed != 0) {
    CTransferEngine::LogFormat("File Transfer complete. Average Transfer Rate = %3.1f kbytes/sec\n",
                               engine->m_dTransferRate.load());
  } else {
    CTransferEngine::LogText("File Transfer complete. Average Transfer Rate undefined\n");
  }
  return 1;
}

// Between repeats on USB the device may have re-attached: refresh the
// connection and restart the readers.
void RefreshUsbConnection(CTransferEngine* engine) {
  DWORD port = engine->m_nPort;
  int outputPort = engine->m_nOutputPort;
  int usm = engine->m_nUsmChannel;
  int realTime = engine->m_nRealTimeChannel;
  int scratch1 = 0;
  int scratch2 = 0;
  Comm_UpdateConnection(0, port, nullptr, outputPort, usm, realTime, scratch1, scratch2);
  engine->StartReaders();
}

void LogPortLost(CTransferEngine* engine) {
  if (engine->IsPortLost())
    CTransferEngine::LogText("Error Transfer - Port lost, transfer stopped");
}

// A completed write only handed the bytes over (on TCP/IP, to the kernel's
// buffers): the job is done when the printer has taken them. False when the
// connection broke first (a printer that restarted). A printer that stops
// taking bytes but stays connected ends the wait after kTakeIdleMs.
bool PrinterTookOutput() {
  constexpr DWORD kTakeIdleMs = 10000;
  DWORD last = 0;
  DWORD idle = 0;
  for (;;) {
    DWORD pending = 0;
    const int r = Comm_WaitOutputSent(50, &pending);
    if (r != COMM_OUTPUT_PENDING)
      return r == COMM_OUTPUT_SENT;
    if (IsAborted())
      return true;  // the abort decides the outcome
    idle = pending == last ? idle + 50 : 0;
    last = pending;
    if (idle >= kTakeIdleMs)
      return true;
  }
}

void RunFileJob(CTransferEngine* engine) {
  engine->BeginJob();
  bool failed = false;
  for (int pass = 1;; ++pass) {
    if (engine->m_nRepeatCount != -1 && pass - 1 >= engine->m_nRepeatCount)
      break;
    if (IsAborted())
      break;
    CTransferEngine::LogFormat(
        "File Transfer Start. Name = %s, Size = %d bytes, Nb Repeats = %d/%d, Delay = %d ms\n",
        g_TransferFile.GetName().c_str(), static_cast<int>(g_TransferFile.GetSize()), pass,
        engine->m_nRepeatCount, engine->m_nDelay);
    if (RunFilePass(engine, engine->m_bRepeat ? pass : -1) == kPassStop) {
      failed = true;
      LogPortLost(engine);
      break;
    }
    if (engine->m_bRepeat) {
      DWORD delay = engine->m_nDelay > 0 ? static_cast<DWORD>(engine->m_nDelay) : 0;
      if (WaitForSingleObject(g_hAbortEvent, delay) == WAIT_OBJECT_0)
        break;
      if (engine->m_nInterfaceType == 1)
        RefreshUsbConnection(engine);
    }
  }
  if (!failed && !IsAborted() && !PrinterTookOutput()) {
    CTransferEngine::LogText("Error Transfer - Connection lost before the printer took every byte");
    failed = true;
  }
  g_TransferFile.Close();
  g_evFileTransfer.Reset();
  if (IsAborted())
    Comm_AbortOutput();  // a break-down need not wait for the abandoned file
  engine->EndJob(failed);
  engine->Post(WM_TRANSFER_DONE, 0, 0);
}

void RunStringJob(CTransferEngine* engine) {
  engine->BeginJob();
  if (!IsAborted()) {
    engine->WritePacket(engine->m_StringBuffer, engine->m_nStringLength, Comm_GetStringPacketSize(),
                        1);
    LogPortLost(engine);
  }
  g_evStringTransfer.Reset();
  engine->EndJob(false);
  engine->Post(WM_TRANSFER_DONE, 0, 0);
}

// Waits for the job event; false when the engine is shutting down.
bool WaitForJob(CEvent* job, CEvent* shutdown) {
  CEvent* handles[2] = {job, shutdown};
  return WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0;
}

}  // namespace

DWORD ThreadFileTransfer(CTransferEngine* engine) {
  OutputDebugStringA("** Thread File Transfer started\r\n");
  while (WaitForJob(&g_evFileTransfer, &engine->m_evShutdown)) {
    RunFileJob(engine);
  }
  OutputDebugStringA("** Thread File Transfer stopped\r\n");
  return 0;
}

DWORD ThreadStringTransfer(CTransferEngine* engine) {
  OutputDebugStringA("** Thread String Transfer started\r\n");
  while (WaitForJob(&g_evStringTransfer, &engine->m_evShutdown)) {
    RunStringJob(engine);
  }
  OutputDebugStringA("** Thread String Transfer stopped\r\n");
  return 0;
}

int CTransferEngine::StartTransmitThreads() {
  m_evShutdown.Reset();
  if (!m_pFileThread) {
    m_pFileThread = CThread::Create([this] { return ThreadFileTransfer(this); },
                                    THREAD_PRIORITY_HIGHEST, "Thread File Transfer");
  }
  if (!m_pStringThread) {
    m_pStringThread = CThread::Create([this] { return ThreadStringTransfer(this); },
                                      THREAD_PRIORITY_HIGHEST, "Thread String Transfer");
  }
  return m_pFileThread && m_pStringThread ? 1 : 0;
}

int CTransferEngine::StopTransmitThreads(DWORD timeoutMs) {
  m_evShutdown.Set();
  if (g_hAbortEvent != nullptr)
    SetEvent(g_hAbortEvent);
  int ended = 1;
  for (std::unique_ptr<CThread>* slot : {&m_pFileThread, &m_pStringThread}) {
    if (*slot && (*slot)->Wait(timeoutMs) != WAIT_OBJECT_0) {
      ended = 0;  // kept: a later stop (or the engine's end) waits again
      continue;
    }
    slot->reset();
  }
  return ended;
}

void CTransferEngine::Shutdown() {
  StopTransmitThreads(5000);
  StopReaders();
}
