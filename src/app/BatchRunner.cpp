#include "app/BatchRunner.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "codec/Codec.h"
#include "comm/Cablox.h"
#include "engine/TransferGlobals.h"
#include "firmware/FlashDownload.h"
#include "log/DataLog.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "report/ErrorBoxes.h"

std::atomic<bool> CBatchRunner::s_bAbort{false};

namespace {

const char* kStepNames[] = {"Switch To Download Mode", "Check Flash Size", "Erase Flash",
                            "Download Code", "Check CRC"};

}  // namespace

int CBatchRunner::Connect(const BatchOptions& o) {
  if (!Comm_OpenSetup(&m_queue, o.nInterface))
    return 0;
  int ok = 0;
  if (o.nInterface == COMM_TYPE_TCPIP) {
    DWORD address = o.dwIpAddress;
    char mac[50] = {};
    int mainPort = o.nMainPort, usm = o.nUsmPort, rt = o.nRealTimePort, sel = o.nOutputPort;
    int completion = 0;
    ok = Comm_UpdateConnection(0, address, mac, mainPort, usm, rt, sel, completion);
    g_TransferEngine.SetConnectionParams(COMM_TYPE_TCPIP, 0, 0, rt, usm, 0);
  } else {
    DWORD port = 0;
    std::string name = o.strSerialPort;
    int baud = o.nBaudIndex, parity = o.nParityIndex, flow = o.nFlowIndex;
    int dataBits = o.nDataBitsIndex, stopBits = o.nStopBitsIndex;
    ok = Comm_UpdateConnection(0, port, name.data(), baud, parity, flow, dataBits, stopBits);
    g_TransferEngine.SetConnectionParams(COMM_TYPE_SERIAL, port, 0, 0, 0, 1);
  }
  if (!ok)
    return 0;
  Comm_SetConnect(Comm_IsPortAvailable());
  return g_TransferEngine.StartReaders();
}

// The received-data file, as the window makes it: "RxData.bin" in the
// Output folder, or a name with the process id when another instance holds
// that one.
int CBatchRunner::OpenReceivedDataFile() {
  const std::string folder = GetProgramFolder();
  // The program folder itself may not exist yet on a first run.
  if (!CreateFolderPath("", (folder + "/Output").c_str()))
    return 0;
  std::string name = folder + "/Output/RxData.bin";
  if (g_RxDataFile.Open(name, CMyFile::kModeWrite, 0))
    return 1;
  char alt[64];
  std::snprintf(alt, sizeof alt, "/Output/RxData-pid%X.bin", GetCurrentProcessId());
  return g_RxDataFile.Open(folder + alt, CMyFile::kModeWrite, 0);
}

int CBatchRunner::StartFile(const BatchOptions& o) {
  if (!g_TransferFile.Open(o.strArgument, CMyFile::kModeRead, o.bPacketMode ? 1 : 0)) {
    std::fprintf(stderr, "sendrix-cli: cannot open %s\n", o.strArgument.c_str());
    return 0;
  }
  if (g_TransferFile.GetSize() == 0) {
    g_TransferFile.Close();
    std::fprintf(stderr, "sendrix-cli: %s is empty\n", o.strArgument.c_str());
    return 0;
  }
  g_TransferEngine.SetRepeatParams(o.nRepeatCount != 0, o.nRepeatCount, o.nDelayMs);
  ResetEvent(g_hAbortEvent);
  g_evFileTransfer.Set();
  return 1;
}

int CBatchRunner::StartString(const BatchOptions& o) {
  BYTE bytes[kCodecBufferSize] = {};
  int length = o.job == BatchJob::kHex ? HexTextToBytes(o.strArgument.c_str(), bytes)
                                       : EscapedTextToBytes(o.strArgument.c_str(), bytes);
  if (length == 0) {
    std::fprintf(stderr, "sendrix-cli: the string gives no bytes\n");
    return 0;
  }
  CTransferEngine& engine = g_TransferEngine;
  if (o.bPacketMode) {
    length = FramePacket(bytes, engine.m_StringBuffer, length);
  } else {
    std::copy(bytes, bytes + length, engine.m_StringBuffer);
  }
  engine.m_nStringLength = static_cast<DWORD>(length);
  ResetEvent(g_hAbortEvent);
  g_evStringTransfer.Set();
  return 1;
}

int CBatchRunner::RunFirmware(const BatchOptions& o) {
  const std::string& name = o.strArgument;
  if (!CFlashDownload::HasBinExtension(name) || !g_TransferFile.Open(name, CMyFile::kModeRead, 0)) {
    std::fprintf(stderr, "sendrix-cli: %s is not a readable .bin image\n", name.c_str());
    return 0;
  }
  DWORD size = g_TransferFile.GetSize();
  if (size == 0 || size % 1024 != 0) {
    g_TransferFile.Close();
    std::fprintf(stderr, "sendrix-cli: the image size must be a non-zero multiple of 1024\n");
    return 0;
  }
  // The headless runner re-opens nothing after the switch: USB is not offered.
  CFlashDownload flash(&m_queue, [](int) { return 1; });
  m_bShowReceived = false;
  g_RxDataBuffer.Reset();
  ResetEvent(g_hAbortEvent);
  flash.Start();
  Pump(true, 0);
  flash.Stop();
  return 1;
}

void CBatchRunner::Handle(const QueuedMessage& m) {
  switch (m.message) {
    case WM_TRANSFER_PROGRESS:
      if (m.lParam >= 0) {
        std::fprintf(m_out, "progress %d%% (pass %d)\n", static_cast<int>(m.wParam),
                     static_cast<int>(m.lParam));
      } else {
        std::fprintf(m_out, "progress %d%%\n", static_cast<int>(m.wParam));
      }
      break;
    case WM_FLASH_STEP:
      if (m.wParam <= 4) {
        std::fprintf(m_out, "step %s: %s\n", kStepNames[m.wParam],
                     m.lParam == 2 ? "passed" : "failed");
        if (m.lParam == 1)
          m_bFailed = true;
      }
      break;
    case WM_FLASH_CRC:
      std::fprintf(m_out, "flash CRC %04X\n", static_cast<unsigned>(m.wParam & 0xFFFF));
      break;
    case WM_LINE_STATUS:
      // The reader reports every poll; only a change is worth a line.
      if (!m_bHaveLineStatus || m.wParam != m_nLineStatus) {
        std::fprintf(m_out, "line status 0x%X\n", static_cast<unsigned>(m.wParam));
        m_nLineStatus = m.wParam;
        m_bHaveLineStatus = true;
      }
      break;
    case WM_SHOW_ERROR:
      ShowCommError(static_cast<int>(m.wParam),
                    reinterpret_cast<const COMM_ERROR_RECORD*>(m.lParam));
      m_bFailed = true;
      break;
    case WM_LOG_SYSTEM_ERROR:
      LogSystemError(static_cast<DWORD>(m.wParam));
      break;
    default:
      break;
  }
  std::fflush(m_out);
}

void CBatchRunner::ShowBuffer(const char* label, CRingBuffer& buffer, DWORD* position) {
  const DWORD write = buffer.GetWritePosition();
  if (buffer.TakeResetFlag()) {
    *position = write;
    return;
  }
  DWORD n = (write - *position) & (CRingBuffer::kSize - 1);
  for (DWORD row = 0; row < n; row += 16) {
    char hex[16 * 3 + 1] = {};
    char text[17] = {};
    DWORD count = std::min<DWORD>(16, n - row);
    for (DWORD i = 0; i < count; ++i) {
      BYTE b = buffer.Peek(*position + row + i);
      std::snprintf(hex + i * 3, 4, "%02X ", b);
      text[i] = b >= 0x20 && b <= 0x7F ? static_cast<char>(b) : '.';
    }
    std::fprintf(m_out, "%s: %-48s %s\n", label, hex, text);
  }
  *position = write;
}

void CBatchRunner::ShowReceived() {
  if (!m_bShowReceived)
    return;
  ShowBuffer("rx data", g_RxDataBuffer, &m_nDataPosition);
  ShowBuffer("rx usm ", g_RxUsmBuffer, &m_nUsmPosition);
  std::fflush(m_out);
}

int CBatchRunner::Pump(bool waitForDone, DWORD listenMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(listenMs);
  for (;;) {
    if (s_bAbort.exchange(false)) {
      m_bAborted = true;
      SetEvent(g_hAbortEvent);
      if (!waitForDone)
        return 1;
    }
    if (!waitForDone && std::chrono::steady_clock::now() >= end)
      return 1;
    QueuedMessage m{};
    const bool taken = m_queue.Take(&m, kPollMs);
    ShowReceived();
    if (!taken)
      continue;
    if (m.message == WM_TRANSFER_DONE)
      return 1;
    Handle(m);
  }
}

void CBatchRunner::Shutdown() {
  g_TransferEngine.Shutdown();
  if (Comm_IsConnected())
    Comm_BreakDownCommPort();
  if (Comm_IsOpened())
    Comm_CloseCleanuo();
  // Errors the library posted while closing are still worth showing.
  QueuedMessage m{};
  while (m_queue.Take(&m, 0))
    Handle(m);
  g_RxDataFile.Close();
}

int CBatchRunner::Run(const BatchOptions& o) {
  CreateAbortEvent();
  g_TransferEngine.SetMessageTarget(&m_queue);
  if (!g_TransferEngine.StartTransmitThreads())
    return 1;
  if (!OpenReceivedDataFile()) {
    std::fprintf(stderr, "sendrix-cli: cannot create the received-data file under %s/Output\n",
                 GetProgramFolder().c_str());
  }
  // Show only what arrives from now on (the buffers start with their reset
  // flag set).
  g_RxDataBuffer.TakeResetFlag();
  g_RxUsmBuffer.TakeResetFlag();
  m_nDataPosition = g_RxDataBuffer.GetWritePosition();
  m_nUsmPosition = g_RxUsmBuffer.GetWritePosition();
  int ok = Connect(o);
  if (!ok) {
    Shutdown();
    std::fprintf(stderr, "sendrix-cli: the connection could not be opened\n");
    return 1;
  }
  bool ran = false;
  if (o.job == BatchJob::kFile) {
    ran = StartFile(o) && Pump(true, 0);
  } else if (o.job == BatchJob::kAscii || o.job == BatchJob::kHex) {
    ran = StartString(o) && Pump(true, 0);
  } else if (o.job == BatchJob::kFirmware) {
    ran = RunFirmware(o);
  }
  int status = TRANSFER_COMPLETED;
  if (ran) {
    status = JobStatus();
    const TransferOutcome outcome = g_TransferEngine.GetLastOutcome();
    std::fprintf(m_out, "delivered %llu bytes",
                 static_cast<unsigned long long>(outcome.qwBytesDelivered));
    if (outcome.dwFailedPieces != 0)
      std::fprintf(m_out, ", %u writes failed", static_cast<unsigned>(outcome.dwFailedPieces));
    std::fprintf(m_out, "%s\n", outcome.bStopped ? ", stopped: the port is lost" : "");
  } else if (o.job != BatchJob::kNone) {
    status = TRANSFER_FAILED;
  }
  if (o.job == BatchJob::kFile && status == TRANSFER_COMPLETED) {
    if (g_TransferEngine.m_dTransferRate > 0) {
      std::fprintf(m_out, "average rate %.1f kbytes/sec\n", g_TransferEngine.m_dTransferRate);
    }
  }
  m_bShowReceived = true;
  if (status == TRANSFER_COMPLETED && o.nListenMs > 0)
    Pump(false, static_cast<DWORD>(o.nListenMs));
  ShowReceived();
  std::uint64_t received = 0;
  g_RxDataFile.GetCurrentSize(&received);
  Shutdown();
  if (m_bAborted)
    status = TRANSFER_ABORTED;
  else if (m_bFailed && status == TRANSFER_COMPLETED)
    status = TRANSFER_FAILED;  // a comm error, or a firmware step that failed
  const char* word = status == TRANSFER_COMPLETED ? "done"
                     : status == TRANSFER_ABORTED ? "aborted"
                                                  : "failed";
  std::fprintf(m_out, "%s; received %llu bytes into %s\n", word,
               static_cast<unsigned long long>(received), g_RxDataFile.GetName().c_str());
  return status;
}

// The job's own outcome, with what the messages told (an abort asked for,
// a comm error, a red step lamp).
int CBatchRunner::JobStatus() const {
  const TransferOutcome outcome = g_TransferEngine.GetLastOutcome();
  if (m_bAborted || outcome.nResult == TRANSFER_ABORTED)
    return TRANSFER_ABORTED;
  if (m_bFailed || outcome.nResult != TRANSFER_COMPLETED)
    return TRANSFER_FAILED;
  return TRANSFER_COMPLETED;
}
