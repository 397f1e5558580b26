// The engine's process-wide objects, in one translation unit so that they
// are built in this order and destroyed in the reverse one. The engine comes
// last: its destruction ends the threads that use the others.
#include "engine/TransferGlobals.h"

#include "platform/StopRequest.h"

HANDLE g_hAbortEvent = nullptr;
CRingBuffer g_RxDataBuffer;
CRingBuffer g_RxUsmBuffer;
CRxFeed g_RxDataFeed;
CRxFeed g_RxUsmFeed;
CMyFile g_TransferFile;
CMyFile g_RxDataFile;
CEvent g_evFileTransfer{false, false};
CEvent g_evStringTransfer{false, false};
CTransferEngine g_TransferEngine;

// A stop signal counts as the operator's abort from the moment it comes, so a
// job sends nothing more even before the window has set the event.
bool IsAborted() {
  return (g_hAbortEvent != nullptr && g_hAbortEvent->IsSet()) || IsStopRequested();
}
