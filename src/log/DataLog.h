// The HTML data log and how the process shares it.
//
// Sharing: g_pDataLog is a holder, not a raw pointer. `if (g_pDataLog)`
// tells whether logging is on; `g_pDataLog->Log(...)` pins the current log
// for the duration of the call (a counted reference), so a thread that logs
// while the user turns logging off finishes its call on a live object; when
// logging is off the call goes to a disabled log that does nothing.
// g_pDataLog.Reset(log) installs a log, Reset(nullptr) removes it; the log is
// destroyed when the last pinned call lets go.
//
// CDataLog: Log() may be called from any thread; appends, the writer
// thread's flush and ReadLogFile are serialised by one lock. A buffer that
// would overflow is written to the file first: nothing is dropped.
#pragma once

#include <memory>
#include <string>

#include "platform/Win32Types.h"

class CDataLog;

class CDataLogHolder {
 public:
  explicit operator bool() const;
  // Never null: the current log, or a disabled one when logging is off.
  std::shared_ptr<CDataLog> operator->() const;
  std::shared_ptr<CDataLog> Get() const;  // null when logging is off
  void Reset(std::shared_ptr<CDataLog> log);
};

extern CDataLogHolder g_pDataLog;
