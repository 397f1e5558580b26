// The engine's process-wide objects, in one translation unit so that they
// are built in this order and destroyed in the reverse one.
#include "engine/TransferGlobals.h"

HANDLE g_hAbortEvent = nullptr;
CRingBuffer g_RxDataBuffer;
CRingBuffer g_RxUsmBuffer;
CRxFeed g_RxDataFeed;
CRxFeed g_RxUsmFeed;
CTransferEngine g_TransferEngine;
CMyFile g_TransferFile;
CMyFile g_RxDataFile;
CEvent g_evFileTransfer{false, false};
CEvent g_evStringTransfer{false, false};

bool IsAborted() {
  return g_hAbortEvent != nullptr && g_hAbortEvent->IsSet();
}
