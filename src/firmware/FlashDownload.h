// CFlashDownload: the "Flash" thread and the firmware download protocol.
//
// The window makes one instance at its initialisation; the constructor
// starts the thread (highest priority), which then waits for its start event
// (one run of RunSequence per Start()) or its stop event (Stop(): the thread
// ends). Before Start() the window has opened the engine's transfer file on
// the image (its size a non-zero multiple of 1024), reset the data ring and
// cleared the abort event; setting the abort event aborts a run within one
// 1 ms poll.
//
// A run drives six steps (switch to download mode, flash size, erase,
// download in 64 KiB blocks, check CRC, read CRC) with frames written by
// the engine's WritePacket and one-byte replies taken from the engine's data
// ring; XON (11) and XOFF (13) replies are dropped and the wait
// restarts with its full budget (except the three-byte CRC reply). Whatever
// the outcome the run closes the transfer file, sleeps 1000 ms, sends 1D FF and
// reports OnDone exactly once. Each step reports its beginning, its pass or
// its failure (OnFlashStep); failures also show their numbered error box
// (ShowErrorText). The download's progress and the printer's CRC are
// OnProgress and OnFlashCrc (ITransferEvents, engine/TransferEvents.h).
//
// The USB re-open after the printer answered 'S' to the switch frame calls
// the injected port opener with 0 (the window's OpenPort(0)).
//
// Frames are written whole (CTransferEngine::kWhole): an abort is seen
// between frames and in every reply wait, never in the middle of a frame,
// so the printer never reads the closing 1D FF as the rest of a cut data
// frame. The closing 1D FF is sent after an abort too: it is the one frame
// that returns the printer to normal work. A short read of the image ends
// the download step with error box 7 before anything stale is sent.
//
// Outcome: before OnDone the run stores its TransferOutcome in
// the engine (completed only when the printer passed the CRC check;
// aborted when the abort event ended it; the bytes are those acknowledged).
//
// Destruction: Stop() (sets the stop event, waits up to kStopWaitMs for the
// thread to end); if a run is still going, the abort event is set so it
// ends, and the thread is waited for (bounded). Everything the thread owns
// (the events' receiver, the port opener, its start and stop events) lives in a
// worker object the thread shares, so a thread that outlives the wait never
// touches freed memory. The engine is the owner's (the session's), which
// destroys this object before the engine.
// Thread safety: Start/Stop from the window's thread; the rest runs on the
// Flash thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/TransferEngine.h"
#include "engine/TransferEvents.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Win32Types.h"

// The fixed pauses and reply budgets (in 1 ms polls) of the protocol. They
// are behaviour and stay at these values in the program; tests may shorten
// them with CFlashDownload::SetTimings() to keep failure cases quick.
struct FlashTimings {
  DWORD dwSettleMs = 800;     // after a reply to the switch frame (serial, TCP/IP)
  DWORD dwReattachMs = 3000;  // USB: before the port is opened again
  DWORD dwLeaveMs = 1000;     // before the closing 1D FF
  DWORD dwSwitchPolls = 50;
  DWORD dwSizePolls = 1000;
  DWORD dwErasePolls = 20000;
  DWORD dwReplyPolls = 2000;  // block header, data frame, check CRC, read CRC
};

// Result codes of the steps: the next state of RunSequence.
enum FlashState : int {
  FLASH_START = 0,
  FLASH_IN_DOWNLOAD_MODE = 1,
  FLASH_IMAGE_FITS = 2,
  FLASH_IMAGE_TOO_LARGE = 3,
  FLASH_ERASED = 4,
  FLASH_ERASE_REFUSED = 5,
  FLASH_IMAGE_SENT = 6,
  FLASH_DATA_REFUSED = 7,
  FLASH_CRC_PASSED = 8,
  FLASH_CRC_FAILED = 9,
  FLASH_SWITCH_FAILED = 10,
  FLASH_ABORTED = 11,
  FLASH_HEADER_REFUSED = 13,
  FLASH_FINISHED = 14,
};

class CFlashDownload {
 public:
  using PortOpener = std::function<int(int updateControls)>;
  static constexpr DWORD kBlockSize = 65536;
  static constexpr DWORD kDataBufferSize = 32768;

  // `events`: where the thread reports (null: nowhere); it outlives this.
  CFlashDownload(CTransferEngine& engine, ITransferEvents* events, PortOpener openPort);
  ~CFlashDownload();
  CFlashDownload(const CFlashDownload&) = delete;
  CFlashDownload& operator=(const CFlashDownload&) = delete;

  void Start();
  void Stop();
  static constexpr DWORD kStopWaitMs = 200;

  int RunSequence();
  int SwitchToDownloadMode();
  int CheckFlashSize();
  int EraseFlash();
  int DownloadCode();
  int CheckCRC();
  int ReadCRC();

  static void SetTimings(const FlashTimings& timings);
  static FlashTimings GetTimings();

  // The window's name test: ".BIN" anywhere in the name, compared without
  // regard to case. The name itself is left as the user typed it, so the
  // file that is opened, logged and kept in the history is that one.
  static bool HasBinExtension(const std::string& name);

  // What the operator must do after a run that ended once the erase had
  // begun: the flash holds part of an image, and the printer may not start.
  static const char* PartlyWrittenAdvice();
  // Whether the last run began erasing the flash. Read after its
  // OnDone, on any thread.
  bool EraseBegun() const;

 private:
  static DWORD ThreadProc(CFlashDownload* self);
  // 1 with a byte other than XON/XOFF in *reply, 0 when the budget ran out,
  // 2 when aborted.
  int WaitReply(DWORD polls, BYTE* reply);
  void Send(const BYTE* frame, DWORD length);
  void Begin(int step);
  void Fail(int step);
  void Pass(int step);
  // Error text n; after the erase began, with PartlyWrittenAdvice().
  void ShowFlashError(int n);

  struct WorkerTag {};
  // The worker: runs the thread's sequence; has no thread of its own.
  CFlashDownload(CTransferEngine& engine, ITransferEvents* events, PortOpener openPort, WorkerTag);
  void SetOutcome(int state);

  CTransferEngine& m_engine;
  ITransferEvents* m_pEvents;
  PortOpener m_fnOpenPort;
  // The worker's: auto-reset, initially clear.
  CEvent m_evStart{false, false};
  CEvent m_evStop{false, false};
  std::uint64_t m_qwAcked = 0;                // image bytes acknowledged in this run
  bool m_bCrcPassed = false;                  // this run reached a passed CRC check
  std::atomic<bool> m_bEraseBegun{false};     // this run sent the erase command
  std::shared_ptr<CFlashDownload> m_pWorker;  // the owner's; shared with its thread
  std::unique_ptr<CThread> m_pThread;
};
