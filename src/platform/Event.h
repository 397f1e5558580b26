// Kernel-style events and the waits on one or several of them.
//
// Contract:
//  - A manual-reset event stays signalled until Reset(); every waiter sees it.
//  - An auto-reset event is consumed by exactly one successful wait: of all
//    the threads waiting on it when it is set, exactly one returns with it,
//    and the event is clear again afterwards.
//  - WaitForMultipleObjects(any) returns WAIT_OBJECT_0 + i for the lowest
//    index i that is signalled at the moment it is checked (like Windows);
//    only that one event is consumed when it is auto-reset.
//  - WaitForMultipleObjects(all) returns WAIT_OBJECT_0 once every event is
//    signalled at the same time, and consumes all auto-reset ones together.
//  - A time-out of 0 tests without blocking; INFINITE never times out.
//  - Invalid arguments (null event, count 0 or above MAXIMUM_WAIT_OBJECTS)
//    give WAIT_FAILED with last error 6 (invalid handle) or 87.
//
// Thread safety: every operation may be called from any thread. An event
// must not be destroyed while a thread is waiting on it.
#pragma once

#include <vector>

#include "platform/Win32Types.h"

class CEventWaiter;

class CEvent {
 public:
  CEvent(bool manualReset, bool initiallySet);
  ~CEvent();
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  void Set();
  void Reset();
  // Reports whether the event is signalled without consuming it.
  bool IsSet() const;
  bool IsManualReset() const { return m_bManualReset; }

 private:
  friend DWORD WaitForMultipleObjects(DWORD, CEvent* const*, BOOL, DWORD);
  const bool m_bManualReset;
  bool m_bSignalled;                     // guarded by the process-wide event lock
  std::vector<CEventWaiter*> m_waiters;  // guarded by the process-wide event lock
};

using HANDLE = CEvent*;

// Windows-style helpers over CEvent. CreateEvent never fails (returns a new
// event the caller owns and frees with CloseHandle).
HANDLE CreateEvent(BOOL manualReset, BOOL initialState);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL CloseHandle(HANDLE event);

DWORD WaitForSingleObject(HANDLE event, DWORD timeoutMs);
DWORD WaitForMultipleObjects(DWORD count, CEvent* const* events, BOOL waitAll, DWORD timeoutMs);
