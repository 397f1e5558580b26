#include "firmware/FlashDownload.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

#include "comm/Cablox.h"
#include "engine/TransferEngine.h"
#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

namespace {

constexpr BYTE kAck = 0x06;
constexpr BYTE kNak = 0x15;
constexpr BYTE kXon = 0x11;
constexpr BYTE kXoff = 0x13;

std::mutex g_timingsLock;
FlashTimings g_timings;

}  // namespace

bool CFlashDownload::HasBinExtension(const std::string& name) {
  static const char kBin[] = ".BIN";
  for (size_t i = 0; i + 4 <= name.size(); ++i) {
    bool match = true;
    for (size_t k = 0; k < 4 && match; ++k) {
      match = std::toupper(static_cast<unsigned char>(name[i + k])) == kBin[k];
    }
    if (match)
      return true;
  }
  return false;
}

const char* CFlashDownload::PartlyWrittenAdvice() {
  return "The printer's flash is partly written: download the firmware again before switching "
         "the printer off.";
}

bool CFlashDownload::EraseBegun() const {
  return (m_pWorker ? m_pWorker->m_bEraseBegun : m_bEraseBegun).load();
}

void CFlashDownload::ShowFlashError(int n) {
  // A lost connection that ended the run is its cause: said in the same box.
  std::string advice = TakeHeldCommError();
  // After a passed CRC check the image is whole; only reading its CRC failed.
  if (m_bEraseBegun && !m_bCrcPassed)
    advice += (advice.empty() ? "" : "\n") + std::string(PartlyWrittenAdvice());
  ShowErrorTextThen(n, advice);
}

void CFlashDownload::SetTimings(const FlashTimings& timings) {
  std::lock_guard<std::mutex> guard(g_timingsLock);
  g_timings = timings;
}

FlashTimings CFlashDownload::GetTimings() {
  std::lock_guard<std::mutex> guard(g_timingsLock);
  return g_timings;
}

CFlashDownload::CFlashDownload(CTransferEngine& engine, ITransferEvents* events,
                               PortOpener openPort, WorkerTag)
    : m_engine(engine), m_pEvents(events), m_fnOpenPort(std::move(openPort)) {}

CFlashDownload::CFlashDownload(CTransferEngine& engine, ITransferEvents* events,
                               PortOpener openPort)
    : m_engine(engine), m_pEvents(events), m_fnOpenPort(openPort) {
  m_pWorker.reset(new CFlashDownload(engine, events, std::move(openPort), WorkerTag{}));
  m_pThread = CThread::Create([worker = m_pWorker] { return ThreadProc(worker.get()); },
                              THREAD_PRIORITY_HIGHEST, "Flash");
}

CFlashDownload::~CFlashDownload() {
  if (!m_pThread)
    return;
  Stop();
  if (m_pThread->Wait(0) != WAIT_OBJECT_0) {
    // A run is still going: end it. Should it outlast the wait, the thread
    // is left running on its worker, which it shares.
    m_engine.m_io.abort.Set();
    m_pThread->Wait(30000);
  }
}

void CFlashDownload::Start() {
  m_pWorker->m_evStart.Set();
}

void CFlashDownload::Stop() {
  m_pWorker->m_evStop.Set();
  // The thread's end, not a fixed pause: an idle thread ends at once, and a
  // run still going is given kStopWaitMs (the destructor then aborts it).
  if (m_pThread)
    m_pThread->Wait(kStopWaitMs);
}

DWORD CFlashDownload::ThreadProc(CFlashDownload* self) {
  OutputDebugStringA("** Thread Flash started\r\n");
  CEvent* handles[2] = {&self->m_evStart, &self->m_evStop};
  while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
    self->RunSequence();
  }
  OutputDebugStringA("** Thread Flash stopped\r\n");
  return 0;
}

void CFlashDownload::SetOutcome(int state) {
  TransferOutcome o;
  o.qwBytesDelivered = m_qwAcked;
  if (m_engine.IsAborted() || state == FLASH_ABORTED) {
    o.nResult = TRANSFER_ABORTED;
  } else if (!m_bCrcPassed) {
    o.nResult = TRANSFER_FAILED;
  }
  m_engine.SetLastOutcome(o);
}

int CFlashDownload::RunSequence() {
  m_qwAcked = 0;
  m_bCrcPassed = false;
  m_bEraseBegun = false;
  m_engine.BeginJob();  // a port lost by an earlier job may be back
  m_engine.LogFormat("Flash Download. Name = %s, Size = %d bytes\n",
                     m_engine.m_io.transferFile.GetName().c_str(),
                     static_cast<int>(m_engine.m_io.transferFile.GetSize()));
  int state = FLASH_START;
  bool stop = false;
  while (state != FLASH_FINISHED && !stop) {
    if (m_engine.IsAborted())
      break;
    switch (state) {
      case FLASH_START:
        state = SwitchToDownloadMode();
        break;
      case FLASH_IN_DOWNLOAD_MODE:
        state = CheckFlashSize();
        break;
      case FLASH_IMAGE_FITS:
        state = EraseFlash();
        break;
      case FLASH_IMAGE_TOO_LARGE:
        ShowFlashError(kErrorFlashImageTooLarge);
        stop = true;
        break;
      case FLASH_ERASED:
        state = DownloadCode();
        break;
      case FLASH_ERASE_REFUSED:
        m_bEraseBegun = false;  // refused: the flash was left as it was
        ShowFlashError(kErrorFlashEraseRefused);
        stop = true;
        break;
      case FLASH_IMAGE_SENT:
        state = CheckCRC();
        break;
      case FLASH_DATA_REFUSED:
        ShowFlashError(kErrorFlashDataRefused);
        stop = true;
        break;
      case FLASH_CRC_PASSED:
        m_bCrcPassed = true;
        ReadCRC();
        stop = true;
        break;
      case FLASH_CRC_FAILED:
        ShowFlashError(kErrorFlashCrcMismatch);
        stop = true;
        break;
      case FLASH_SWITCH_FAILED:
        Fail(0);
        stop = true;
        break;
      case FLASH_HEADER_REFUSED:
        ShowFlashError(kErrorFlashHeaderRefused);
        stop = true;
        break;
      default:
        stop = true;
        break;  // aborted, or a code no step makes
    }
  }
  m_engine.m_io.transferFile.Close();
  Sleep(GetTimings().dwLeaveMs);
  const BYTE leave[2] = {0x1D, 0xFF};
  Send(leave, sizeof leave);  // written whole, even after an abort
  m_evStart.Reset();
  SetOutcome(state);
  if (m_pEvents != nullptr)
    m_pEvents->OnDone(m_engine.GetLastOutcome());
  return state;
}

void CFlashDownload::Send(const BYTE* frame, DWORD length) {
  m_engine.WritePacket(frame, length, Comm_GetDownloadPacketSize(), 1, CTransferEngine::kWhole);
}

int CFlashDownload::WaitReply(DWORD polls, BYTE* reply) {
  for (;;) {
    int r = m_engine.m_io.rxDataBuffer.WaitForCount(1, polls, m_engine.m_io.AbortEvent());
    if (r != 1)
      return r;
    BYTE b = m_engine.m_io.rxDataBuffer.Get();
    if (b == kXon || b == kXoff)
      continue;  // flow control: wait again in full
    *reply = b;
    return 1;
  }
}

void CFlashDownload::Begin(int step) {
  if (m_pEvents != nullptr)
    m_pEvents->OnFlashStep(step, FlashStepState::kBegun);
}

void CFlashDownload::Fail(int step) {
  if (m_pEvents != nullptr)
    m_pEvents->OnFlashStep(step, FlashStepState::kFailed);
}

void CFlashDownload::Pass(int step) {
  if (m_pEvents != nullptr)
    m_pEvents->OnFlashStep(step, FlashStepState::kPassed);
}

int CFlashDownload::SwitchToDownloadMode() {
  Begin(0);
  if (m_engine.IsAborted()) {
    Fail(0);
    return FLASH_FINISHED;
  }
  const BYTE frame[3] = {0x1B, 0x5B, 0x7D};
  Send(frame, sizeof frame);
  const FlashTimings t = GetTimings();
  BYTE r = 0;
  switch (WaitReply(t.dwSwitchPolls, &r)) {
    case 0:
      Pass(0);  // silence counts as switched
      return FLASH_IN_DOWNLOAD_MODE;
    case 2:
      Fail(0);
      return FLASH_SWITCH_FAILED;
    default:
      break;
  }
  if (m_engine.m_nInterfaceType != COMM_TYPE_USB) {
    Sleep(t.dwSettleMs);
    return FLASH_IN_DOWNLOAD_MODE;
  }
  if (r == 'S') {
    // The printer re-attaches in download mode: give it time, then re-open.
    Pass(0);
    Sleep(t.dwReattachMs);
    if (m_fnOpenPort)
      m_fnOpenPort(0);
    return FLASH_IN_DOWNLOAD_MODE;
  }
  Fail(0);
  return FLASH_SWITCH_FAILED;
}

int CFlashDownload::CheckFlashSize() {
  if (m_engine.IsAborted()) {
    Fail(1);
    return FLASH_ABORTED;
  }
  Begin(1);
  const BYTE frame[2] = {0x1D, 0x01};
  Send(frame, sizeof frame);
  BYTE b = 0;
  int r = WaitReply(GetTimings().dwSizePolls, &b);
  if (r != 1) {
    Fail(1);
    if (r == 2)
      return FLASH_ABORTED;
    // A red LED alone says nothing to a script or in the log: say it, as for
    // the silence at every other step.
    ShowFlashError(kErrorFlashSizeSilent);
    return FLASH_FINISHED;
  }
  const unsigned long long capacity = (static_cast<unsigned long long>(b) + 1) * kBlockSize;
  if (capacity >= m_engine.m_io.transferFile.GetSize()) {
    Pass(1);
    return FLASH_IMAGE_FITS;
  }
  Fail(1);
  return FLASH_IMAGE_TOO_LARGE;
}

int CFlashDownload::EraseFlash() {
  Begin(2);
  if (m_engine.IsAborted()) {
    Fail(2);
    return FLASH_ABORTED;
  }
  const BYTE frame[2] = {0x1D, 0x0E};
  m_bEraseBegun = true;
  Send(frame, sizeof frame);
  BYTE b = 0;
  int r = WaitReply(GetTimings().dwErasePolls, &b);
  if (r == 1 && b == kAck) {
    Pass(2);
    return FLASH_ERASED;
  }
  Fail(2);
  if (r == 0) {
    ShowFlashError(kErrorFlashEraseSilent);
    return FLASH_FINISHED;
  }
  if (r == 2)
    return FLASH_ABORTED;
  if (b == kNak)
    return FLASH_ERASE_REFUSED;
  ShowFlashError(kErrorFlashEraseUnexpected);
  return FLASH_FINISHED;
}

int CFlashDownload::CheckCRC() {
  Begin(4);
  if (m_engine.IsAborted())
    return FLASH_FINISHED;
  const BYTE frame[2] = {0x1D, 0x06};
  Send(frame, sizeof frame);
  BYTE b = 0;
  int r = WaitReply(GetTimings().dwReplyPolls, &b);
  if (r == 1 && b == kAck) {
    Pass(4);
    return FLASH_CRC_PASSED;
  }
  Fail(4);
  if (r == 0) {
    ShowFlashError(kErrorFlashCrcSilent);
    return FLASH_FINISHED;
  }
  if (r == 2)
    return FLASH_ABORTED;
  if (b == kNak)
    return FLASH_CRC_FAILED;
  ShowFlashError(kErrorFlashCrcUnexpected);
  return FLASH_FINISHED;
}

int CFlashDownload::ReadCRC() {
  Begin(5);
  if (m_engine.IsAborted())
    return FLASH_FINISHED;
  const BYTE frame[2] = {0x1D, 0x0F};
  Send(frame, sizeof frame);
  int r = m_engine.m_io.rxDataBuffer.WaitForCount(3, GetTimings().dwReplyPolls,
                                                  m_engine.m_io.AbortEvent());
  if (r == 2)
    return FLASH_ABORTED;
  if (r != 1) {
    ShowFlashError(kErrorFlashCrcIncomplete);
    return FLASH_FINISHED;
  }
  m_engine.m_io.rxDataBuffer.Get();  // not examined
  const DWORD low = m_engine.m_io.rxDataBuffer.Get();
  const DWORD high = m_engine.m_io.rxDataBuffer.Get();
  if (m_pEvents != nullptr)
    m_pEvents->OnFlashCrc(static_cast<unsigned>(low + 256 * high));
  return FLASH_FINISHED;
}

int CFlashDownload::DownloadCode() {
  Begin(3);
  const DWORD size = m_engine.m_io.transferFile.GetSize();
  const DWORD blocks = size / kBlockSize + (size % kBlockSize != 0 ? 1 : 0);
  // The data buffer holds 32768 bytes; a packet size of 0 would never move.
  const DWORD packet = std::clamp<DWORD>(Comm_GetDownloadPacketSize(), 1, kDataBufferSize);
  const DWORD polls = GetTimings().dwReplyPolls;
  std::vector<BYTE> data(kDataBufferSize);
  // A block header's or data frame's reply: 0 when acknowledged, else the
  // state to return, with the step's LED red and the box when one is due.
  auto check = [this](int r, BYTE b, int silenceBox, int nakState, int otherBox) {
    if (r == 1 && b == kAck)
      return 0;
    Fail(3);
    if (r == 2)
      return static_cast<int>(FLASH_ABORTED);
    if (r == 1 && b == kNak)
      return nakState;
    ShowFlashError(r == 0 ? silenceBox : otherBox);
    return static_cast<int>(FLASH_FINISHED);
  };
  DWORD remaining = size;
  for (DWORD block = 0; block < blocks; ++block) {
    if (m_engine.IsAborted()) {
      Fail(3);
      return FLASH_ABORTED;
    }
    const BYTE header[3] = {0x1D, 0x02, static_cast<BYTE>(block)};
    Send(header, sizeof header);
    BYTE b = 0;
    int r = WaitReply(polls, &b);
    if (int next =
            check(r, b, kErrorFlashHeaderSilent, FLASH_HEADER_REFUSED, kErrorFlashHeaderUnexpected);
        next != 0)
      return next;
    const DWORD blockLength = std::min(remaining, kBlockSize);
    for (DWORD offset = 0; offset < blockLength;) {
      if (m_engine.IsAborted()) {
        Fail(3);
        return FLASH_ABORTED;
      }
      // Clipped at the block's end, so a packet size that does not divide
      // 64 KiB never makes a frame reach into the next block.
      const DWORD l = std::min({remaining, packet, blockLength - offset});
      DWORD got = 0;
      if (!m_engine.m_io.transferFile.Read(data.data(), l, &got) || got != l) {
        // What the buffer holds is not this part of the image: send none
        // of it into the erased flash.
        Fail(3);
        ShowFlashError(kErrorFlashImageRead);
        return FLASH_FINISHED;
      }
      const BYTE frame[6] = {0x1D,
                             0x11,
                             static_cast<BYTE>(offset & 0xFF),
                             static_cast<BYTE>(offset >> 8),
                             static_cast<BYTE>(l & 0xFF),
                             static_cast<BYTE>(l >> 8)};
      Send(frame, sizeof frame);
      Send(data.data(), l);
      r = WaitReply(polls, &b);
      if (int next =
              check(r, b, kErrorFlashDataSilent, FLASH_DATA_REFUSED, kErrorFlashDataUnexpected);
          next != 0)
        return next;
      offset += l;
      remaining -= l;
      m_qwAcked += l;
      const double done = 1.0 - static_cast<double>(remaining) / static_cast<double>(size);
      if (m_pEvents != nullptr)
        m_pEvents->OnProgress(static_cast<int>(done * 100.0), -1);
    }
  }
  Pass(3);
  return FLASH_IMAGE_SENT;
}
