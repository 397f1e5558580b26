#include "engine/TransferObjects.h"

#include "platform/StopRequest.h"

bool CTransferObjects::IsAborted() const {
  return abort.IsSet() || IsStopRequested();
}
