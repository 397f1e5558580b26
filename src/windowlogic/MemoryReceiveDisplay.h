// The receive display of a run without a window: the same handling of the
// received bytes as the window's display (CReceivePump: log, headless rows,
// status decoding, the logic's taps), polled by a timer of the run's event
// loop, with no lists to show them in. "Clear Buffer" empties the received
// data; "Save As" needs a file dialog and "Show USM" a list, so both do
// nothing here.
//
// Threading: the loop's thread (the window logic's) only.
#pragma once

#include <string>

#include "windowlogic/IReceiveDisplay.h"
#include "windowlogic/ReceivePump.h"

class CEventLoop;
class CHeadlessRows;

class CMemoryReceiveDisplay : public IReceiveDisplay {
 public:
  // `engine`: the session's (its feeds, received data and log).
  CMemoryReceiveDisplay(CEventLoop& loop, CTransferEngine& engine) : m_loop(loop), m_pump(engine) {}
  ~CMemoryReceiveDisplay() override;

  int Start() override;
  void Stop() override;
  void ResetDataLineCounter() override { m_pump.StartNewDataRow(); }
  void NoteStringSent(const BYTE* bytes, size_t count) override;
  void OnCommand(int id) override;
  void RefreshUsmView(int, int) override {}

  CReceivePump& Pump() { return m_pump; }
  // Before the window logic closes: runs the loop, so the workers' messages
  // are still handled, while it takes what the printer still sends, until
  // the line has been quiet CReceivePump::kSettleQuietMs (at most
  // kSettleMaxMs; a stop signal ends it). A connection the printer closes
  // right after taking the last bytes is then still reported. The Stop
  // that follows does not wait again.
  void Settle();

 private:
  CEventLoop& m_loop;
  CReceivePump m_pump;
  int m_nTimer = 0;
  bool m_bSettled = false;
};
