// The two transmit threads: the file transfer (passes, repeat, continuous
// mode, delay, abort, the USB refresh between repeats, progress and rate)
// and the string transfer.
#include <algorithm>
#include <cmath>
#include <vector>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/DebugOutput.h"

namespace {

constexpr int kPassStop = -1;
// How long the end of a pass waits at a time for the printer to take what is
// queued, and how long it may take nothing before the wait gives up (the
// job's end then decides).
constexpr DWORD kTakeSliceMs = 20;
constexpr DWORD kTakeIdleMs = 10000;

// Progress and rate: what the printer has taken, not what was handed to the
// connection (on TCP/IP the kernel's buffers take megabytes at once, and the
// bar showed 100 % long before the printer had the bytes). Posts when the
// percent changed.
struct PassProgress {
  DWORD size = 0;
  int passTag = -1;
  DWORD lastPercent = 0;
  DWORD elapsed = 0;
};

// The rate as OnRate carries it: kbytes/s in hundredths, below 0 before
// any time has passed.
constexpr double kRateHundredths = 100.0;
double ReportedRate(double rate, DWORD elapsed) {
  return elapsed != 0 ? static_cast<double>(std::llround(rate * kRateHundredths)) / kRateHundredths
                      : -1.0;
}

void ReportDone(CTransferEngine* engine, const TransferOutcome& outcome) {
  if (ITransferEvents* events = engine->GetEvents())
    events->OnDone(outcome);
}

void ReportTaken(CTransferEngine* engine, DWORD taken, PassProgress& p) {
  const DWORD percent = static_cast<DWORD>(static_cast<unsigned long long>(taken) * 100 / p.size);
  if (percent == p.lastPercent)
    return;
  ITransferEvents* events = engine->GetEvents();
  if (events != nullptr)
    events->OnProgress(static_cast<int>(percent), p.passTag);
  p.elapsed = engine->GetElapsedMs();
  if (p.elapsed != 0) {
    engine->m_dTransferRate.store(static_cast<double>(taken) * 1.024 /
                                  static_cast<double>(p.elapsed));
  }
  if (events != nullptr)
    events->OnRate(ReportedRate(engine->m_dTransferRate.load(), p.elapsed));
  p.lastPercent = percent;
}

// Of the `sent` bytes of this pass, those the printer has taken: the bytes
// still queued for it are not (interfaces that keep no queue report none).
DWORD TakenOf(DWORD sent, DWORD pending) {
  return pending >= sent ? 0 : sent - pending;
}

// The end of a pass: the printer takes what is still queued, the progress
// following it. A lost connection shows no 100 %; the job's end reports it.
void WaitPassTaken(CTransferEngine* engine, PassProgress& p) {
  DWORD last = 0;
  DWORD idle = 0;
  for (;;) {
    DWORD pending = 0;
    const int r = Comm_WaitOutputSent(kTakeSliceMs, &pending);
    if (r == COMM_OUTPUT_SENT)
      ReportTaken(engine, p.size, p);
    if (r != COMM_OUTPUT_PENDING || engine->IsAborted())
      return;
    ReportTaken(engine, TakenOf(p.size, pending), p);
    idle = pending == last ? idle + kTakeSliceMs : 0;
    last = pending;
    if (idle >= kTakeIdleMs)
      return;
  }
}

// One pass over engine->m_io.transferFile. 1 when the whole file was offered, 0 when
// aborted (no completion line then), kPassStop when the job cannot go on:
// the file gave out early or the port is lost (each line logged).
// waitTaken: the pass ends when the printer has taken it (the last pass, or
// one followed by a delay). Passes that follow one another at once do not
// wait: a receiver may hold its acknowledgement of a small file for tens of
// milliseconds, which would throttle a stress run to a crawl.
int RunFilePass(CTransferEngine* engine, int passTag, bool waitTaken) {
  const DWORD packet = std::max<DWORD>(Comm_GetCommPacketSize(), 1);
  // The pass buffer holds one download packet; should the library report a
  // larger comm packet, the buffer grows to it rather than overflow.
  std::vector<BYTE> buffer(std::max<DWORD>(Comm_GetDownloadPacketSize(), packet));
  const DWORD size = engine->m_io.transferFile.GetSize();
  engine->m_io.transferFile.SeekToStart();
  engine->StartTransferTimer();
  DWORD sent = 0;
  PassProgress progress;
  progress.size = size;
  progress.passTag = passTag;
  while (sent < size) {
    if (engine->IsAborted())
      return 0;
    DWORD want = std::min(packet, size - sent);
    DWORD got = 0;
    if (!engine->m_io.transferFile.Read(buffer.data(), want, &got) || got == 0) {
      // A file that shrank under us would otherwise spin here for ever.
      engine->LogText("Error Transfer - Read of transfer file failed");
      return kPassStop;
    }
    engine->WritePacket(buffer.data(), got, packet, 0);
    if (engine->IsPortLost() && !engine->IsAborted())
      return kPassStop;
    sent += got;
    DWORD pending = 0;
    const bool queued = Comm_WaitOutputSent(0, &pending) == COMM_OUTPUT_PENDING;
    ReportTaken(engine, TakenOf(sent, queued ? pending : 0), progress);
  }
  if (waitTaken)
    WaitPassTaken(engine, progress);
  if (engine->IsAborted())
    return 0;
  if (progress.elapsed != 0) {
    engine->LogFormat("File Transfer complete. Average Transfer Rate = %3.1f kbytes/sec\n",
                      engine->m_dTransferRate.load());
  } else {
    engine->LogText("File Transfer complete. Average Transfer Rate undefined\n");
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
    engine->LogText("Error Transfer - Port lost, transfer stopped");
}

// A completed write only handed the bytes over (on TCP/IP, to the kernel's
// buffers): the job is done when the printer has taken them. False when the
// connection broke first (a printer that restarted). A printer that stops
// taking bytes but stays connected ends the wait after kTakeIdleMs.
bool PrinterTookOutput(CTransferEngine* engine) {
  DWORD last = 0;
  DWORD idle = 0;
  for (;;) {
    DWORD pending = 0;
    const int r = Comm_WaitOutputSent(50, &pending);
    if (r != COMM_OUTPUT_PENDING)
      return r == COMM_OUTPUT_SENT;
    if (engine->IsAborted())
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
    if (engine->IsAborted())
      break;
    engine->LogFormat(
        "File Transfer Start. Name = %s, Size = %d bytes, Nb Repeats = %d/%d, Delay = %d ms\n",
        engine->m_io.transferFile.GetName().c_str(),
        static_cast<int>(engine->m_io.transferFile.GetSize()), pass, engine->m_nRepeatCount,
        engine->m_nDelay);
    const bool last = engine->m_nRepeatCount != -1 && pass >= engine->m_nRepeatCount;
    const bool waitTaken = last || (engine->m_bRepeat && engine->m_nDelay > 0);
    if (RunFilePass(engine, engine->m_bRepeat ? pass : -1, waitTaken) == kPassStop) {
      failed = true;
      LogPortLost(engine);
      break;
    }
    if (engine->m_bRepeat) {
      DWORD delay = engine->m_nDelay > 0 ? static_cast<DWORD>(engine->m_nDelay) : 0;
      if (WaitForSingleObject(engine->m_io.AbortEvent(), delay) == WAIT_OBJECT_0)
        break;
      if (engine->m_nInterfaceType == 1)
        RefreshUsbConnection(engine);
    }
  }
  if (!failed && !engine->IsAborted() && !PrinterTookOutput(engine)) {
    engine->LogText("Error Transfer - Connection lost before the printer took every byte");
    failed = true;
  }
  engine->m_io.transferFile.Close();
  engine->m_io.fileJob.Reset();
  if (engine->IsAborted())
    Comm_AbortOutput();  // a break-down need not wait for the abandoned file
  ReportDone(engine, engine->EndJob(failed));
}

void RunStringJob(CTransferEngine* engine) {
  engine->BeginJob();
  bool failed = false;
  if (!engine->IsAborted()) {
    engine->WritePacket(engine->m_StringBuffer, engine->m_nStringLength, Comm_GetStringPacketSize(),
                        1);
    LogPortLost(engine);
    // As for a file: done when the printer has the bytes, failed when the
    // connection broke first. The reply, if any, is then on its way.
    if (!engine->IsPortLost() && !engine->IsAborted() && !PrinterTookOutput(engine)) {
      engine->LogText("Error Transfer - Connection lost before the printer took every byte");
      failed = true;
    }
  }
  engine->m_io.stringJob.Reset();
  ReportDone(engine, engine->EndJob(failed));
}

// Waits for the job event; false when the engine is shutting down.
bool WaitForJob(CEvent* job, CEvent* shutdown) {
  CEvent* handles[2] = {job, shutdown};
  return WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0;
}

}  // namespace

DWORD ThreadFileTransfer(CTransferEngine* engine) {
  OutputDebugStringA("** Thread File Transfer started\r\n");
  while (WaitForJob(&engine->m_io.fileJob, &engine->m_evShutdown)) {
    RunFileJob(engine);
  }
  OutputDebugStringA("** Thread File Transfer stopped\r\n");
  return 0;
}

DWORD ThreadStringTransfer(CTransferEngine* engine) {
  OutputDebugStringA("** Thread String Transfer started\r\n");
  while (WaitForJob(&engine->m_io.stringJob, &engine->m_evShutdown)) {
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
  m_io.abort.Set();
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
