// How the last job of a transmit thread or of the Flash thread ended.
//
// The job's end (ITransferEvents::OnDone) carries it by value; it stays
// readable from the engine too: CTransferEngine::GetLastOutcome()
// (engine/TransferEngine.h).
//
// Contract:
//  - The job's thread stores the outcome before it reports OnDone, so a
//    reader that got that call sees the job's own outcome (it stays until
//    the next job ends; jobs never overlap).
//  - nResult values are the exit statuses of a batch run: 0 completed,
//    1 failed, 3 aborted. The window shows a failure for 1 and 3.
//  - Aborted wins: a job that the operator (or the program's shutdown)
//    aborted is aborted whatever else went wrong. A job is failed when any
//    piece it offered was refused or written short, when it was stopped
//    after a run of hard write failures (the port is gone), or when its file
//    could not be read. A firmware download is completed only when the
//    printer passed its CRC check.
//  - qwBytesDelivered: the bytes the connection accepted (all passes of a
//    file job); for a firmware download, the image bytes the printer
//    acknowledged.
#pragma once

#include <cstdint>

#include "platform/Win32Types.h"

inline constexpr int TRANSFER_COMPLETED = 0;
inline constexpr int TRANSFER_FAILED = 1;
inline constexpr int TRANSFER_ABORTED = 3;

struct TransferOutcome {
  int nResult = TRANSFER_COMPLETED;
  std::uint64_t qwBytesDelivered = 0;
  DWORD dwFailedPieces = 0;  // pieces refused or written short
  bool bStopped = false;     // ended early after a run of hard write failures
};
