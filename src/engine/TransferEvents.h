// ITransferEvents: what the worker threads (the transmit threads, the data
// reader, the Flash thread) report to the window's logic, as typed calls.
//
// Threading: the workers call it on their own threads. The logic never
// implements it for them directly: it is reached through a delivery that
// runs each call on the logic's thread (CQueuedTransferEvents over the
// window's invoker), so the logic stays single-threaded. No call carries a
// pointer; every value is the receiver's once the call is made.
//
// Order: the calls of one worker arrive in the order it made them; a job's
// OnDone comes after its last OnProgress and OnRate.
#pragma once

#include "engine/TransferOutcome.h"
#include "platform/Win32Types.h"

// What a step of the firmware download did (its lamp and label).
enum class FlashStepState { kBegun, kFailed, kPassed };

class ITransferEvents {
 public:
  virtual ~ITransferEvents() = default;
  // The running pass has `percent` (0..100) taken; `pass` is the repeat
  // number, or -1 when the job is not repeated (and for the download).
  virtual void OnProgress(int percent, int pass) = 0;
  // The file pass's rate in kbytes/s, in hundredths; below 0 before any
  // time has passed.
  virtual void OnRate(double kbytesPerSecond) = 0;
  // The job ended; `outcome` is what the engine stored (GetLastOutcome).
  virtual void OnDone(const TransferOutcome& outcome) = 0;
  // The printer's line status bits; `first` for the first report after the
  // reader started.
  virtual void OnLineStatus(DWORD bits, bool first) = 0;
  // Step 0..5 of the firmware download began, failed or passed (the last,
  // reading the CRC, only begins: its end is OnFlashCrc).
  virtual void OnFlashStep(int step, FlashStepState state) = 0;
  // The CRC the printer computed over the downloaded image.
  virtual void OnFlashCrc(unsigned crc) = 0;
};
