// CQueuedTransferEvents: the workers' ITransferEvents, delivered to the
// window's logic on the logic's own thread through an IInvoker: the Qt
// window's event loop (CGuiInvoker) or, without a window, the core's event
// loop (CEventLoop). Every call a worker makes is queued and runs the same
// call on `receiver` there, in the order made and in line with whatever
// else the invoker runs (the communications library's error reports go
// through the same invoker, so one posted before a job's end is handled
// before it).
//
// Progress and rate are coalesced: only the latest value matters, so at most
// one of each waits in the queue and it delivers the values of the last
// call. A continuous run of a small file reports thousands of times a
// second; queued one by one they outgrew the window's pace and Abort waited
// behind them. A waiting report still runs before an OnDone made after it.
//
// Once the invoker is closed (the window closing) calls are dropped.
//
// Threading: any thread may call the ITransferEvents methods. Construct and
// destroy on the logic's thread; the object must outlive every worker that
// holds it, and the invoker and the receiver must outlive the object.
#pragma once

#include <mutex>

#include "engine/TransferEvents.h"
#include "platform/Invoker.h"

class CQueuedTransferEvents : public ITransferEvents {
 public:
  CQueuedTransferEvents(IInvoker& invoker, ITransferEvents& receiver)
      : m_invoker(invoker), m_receiver(receiver) {}
  CQueuedTransferEvents(const CQueuedTransferEvents&) = delete;
  CQueuedTransferEvents& operator=(const CQueuedTransferEvents&) = delete;

  void OnProgress(int percent, int pass) override;
  void OnRate(double kbytesPerSecond) override;
  void OnDone(const TransferOutcome& outcome) override;
  void OnLineStatus(DWORD bits, bool first) override;
  void OnFlashStep(int step, FlashStepState state) override;
  void OnFlashCrc(unsigned crc) override;

 private:
  struct Latest {
    bool bProgressWaiting = false;
    int nPercent = 0;
    int nPass = -1;
    bool bRateWaiting = false;
    double dRate = -1.0;
  };

  IInvoker& m_invoker;
  ITransferEvents& m_receiver;
  std::mutex m_latestLock;
  Latest m_latest;
};
