// CCommErrorGate: one box per printer event. A restart of the printer breaks
// every connection at once, and each reports "closed" on its own (the data
// and the status connection, and the job that was running): the operator
// gets one box, naming the connection, and the log keeps every report.
//
// A report whose code is that of the box still open, or of the box shown or
// closed less than kSameEventMs before, belongs to the same event: logged
// only.
//
// Threading: window thread only. Report() is re-entered while its box is
// open (the box runs the window's event loop, which delivers the next
// report); that is what the open count is for.
#pragma once

#include <cstdint>
#include <functional>

#include "comm/Cablox.h"  // COMM_ERROR_RECORD

class CCommErrorGate {
 public:
  static constexpr uint64_t kSameEventMs = 1500;
  using Clock = std::function<uint64_t()>;

  CCommErrorGate();
  explicit CCommErrorGate(Clock clock) : m_fnNow(std::move(clock)) {}

  // Shows the report (ShowCommError) or, for the same event, logs it only.
  void Report(int code, const COMM_ERROR_RECORD* record);

 private:
  Clock m_fnNow;
  int m_nCode = -1;
  int m_nOpen = 0;
  uint64_t m_shownMs = 0;
};
