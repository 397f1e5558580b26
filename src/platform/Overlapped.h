// Overlapped I/O record: an event plus the result of one operation.
//
// Contract for the party that runs the operation (the comm library):
//  - BeginOverlapped() before the operation is queued: status pending, event
//    reset.
//  - CompleteOverlapped() exactly once when it ends: the byte count and the
//    status are stored first, then the event is set, so a thread that sees
//    the event also sees the result.
// Contract for the caller: GetOverlappedResult() collects the result.
// The record must outlive the operation; its event is owned by whoever made
// the record (see the comm library's channels).
#pragma once

#include <atomic>

#include "platform/Event.h"
#include "platform/Win32Types.h"

inline constexpr DWORD STATUS_PENDING = 0x103;

struct OVERLAPPED {
  CEvent* hEvent = nullptr;
  // Completion status: ERROR_SUCCESS, a Win32 error, or STATUS_PENDING.
  std::atomic<DWORD> Internal{0};
  // Bytes transferred by the completed operation.
  std::atomic<DWORD> InternalHigh{0};
};

void BeginOverlapped(OVERLAPPED* ov);
void CompleteOverlapped(OVERLAPPED* ov, DWORD error, DWORD bytes);
bool IsOverlappedPending(const OVERLAPPED* ov);

// Collects the result of the operation of `ov`. The handle is accepted for
// the familiar signature and not used. Without `wait`, a pending operation
// gives FALSE with last error ERROR_IO_INCOMPLETE (996); with `wait`, the call
// blocks on the record's event until completion. On completion *bytes gets the
// count; the result is TRUE for status 0, else FALSE with that status as last
// error (995 for an operation cancelled by a break of the connection).
BOOL GetOverlappedResult(void* handle, OVERLAPPED* ov, DWORD* bytes, BOOL wait);
