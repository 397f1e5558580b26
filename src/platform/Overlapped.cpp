#include "platform/Overlapped.h"

#include "platform/LastError.h"

void BeginOverlapped(OVERLAPPED* ov) {
  ov->InternalHigh.store(0);
  ov->Internal.store(STATUS_PENDING);
  if (ov->hEvent != nullptr)
    ov->hEvent->Reset();
}

void CompleteOverlapped(OVERLAPPED* ov, DWORD error, DWORD bytes) {
  ov->InternalHigh.store(bytes);
  ov->Internal.store(error);
  if (ov->hEvent != nullptr)
    ov->hEvent->Set();
}

bool IsOverlappedPending(const OVERLAPPED* ov) {
  return ov->Internal.load() == STATUS_PENDING;
}

BOOL GetOverlappedResult(void* /*handle*/, OVERLAPPED* ov, DWORD* bytes, BOOL wait) {
  if (ov == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  while (IsOverlappedPending(ov)) {
    if (!wait || ov->hEvent == nullptr) {
      SetLastError(ERROR_IO_INCOMPLETE);
      return FALSE;
    }
    // The event may be a manual-reset one that is still set from before;
    // the pending status is what counts, so re-test after each wake.
    if (WaitForSingleObject(ov->hEvent, INFINITE) == WAIT_FAILED)
      return FALSE;
    if (IsOverlappedPending(ov) && !ov->hEvent->IsManualReset())
      continue;
    if (IsOverlappedPending(ov))
      ov->hEvent->Reset();
  }
  if (bytes != nullptr)
    *bytes = ov->InternalHigh.load();
  DWORD status = ov->Internal.load();
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return FALSE;
  }
  return TRUE;
}
