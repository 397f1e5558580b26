// CTransferObjects: what the transfer engine, the Flash thread and the window
// share while bytes move: the receive rings and display feeds, the transfer
// and received-data files, the two job events, the abort event and the data
// log. One plain aggregate, so that whoever runs a session (the program's
// CSession, a test fixture, a benchmark) owns every piece by value and hands
// the engine one reference.
//
// Ownership: the owner builds it before the engine and destroys it after the
// engine has ended its threads (declare it first). Nothing here points
// elsewhere.
//
// Threading: each member carries its own lock (rings, feeds, files, events,
// the log holder); the aggregate adds none.
//
// rxDataFile: the data reader appends to it while the window's Save As may
// copy it through the same object. CMyFile opens it with an O_APPEND
// descriptor, so every append lands at the end of the file whatever position
// a concurrent copy has moved to.
#pragma once

#include "engine/MyFile.h"
#include "engine/RingBuffer.h"
#include "engine/RxFeed.h"
#include "log/DataLog.h"
#include "platform/Event.h"

struct CTransferObjects {
  CRingBuffer rxDataBuffer;
  // Every byte of each channel for the receive display (off until enabled).
  CRxFeed rxDataFeed;
  CRxFeed rxUsmFeed;
  // The file being sent (or downloaded as firmware), and where received data goes.
  CMyFile transferFile;
  CMyFile rxDataFile;
  // Auto-reset: the window sets one to start a job of its transmit thread.
  CEvent fileJob{false, false};
  CEvent stringJob{false, false};
  // Manual reset: reset when an operation starts, set by the operator's abort.
  CEvent abort{true, false};
  // The HTML data log, when logging is on.
  CDataLogHolder dataLog;

  // The abort event as the wait functions take it.
  HANDLE AbortEvent() { return &abort; }
  // True once the operator has aborted the running operation, or a stop
  // signal came (a job then sends nothing more even before the window has
  // set the event). Any thread.
  bool IsAborted() const;
};
