#include "comm/CommBackendRegistry.h"

#include <mutex>

#include "comm/Cablox.h"
#include "comm/SerialBackend.h"
#include "comm/TcpBackend.h"

namespace {

std::mutex g_registryLock;
CommBackendFactory g_factories[3];

std::unique_ptr<ICommBackend> CreateBuiltIn(int type) {
  switch (type) {
    case COMM_TYPE_SERIAL:
      return std::make_unique<CSerialBackend>();
    case COMM_TYPE_TCPIP:
      return std::make_unique<CTcpBackend>();
    case COMM_TYPE_USB:
#ifdef SENDRIX_HAVE_USB_BACKEND
      return CreateUsbCommBackend();
#else
      return nullptr;
#endif
    default:
      return nullptr;
  }
}

}  // namespace

void Comm_RegisterBackendFactory(int type, CommBackendFactory factory) {
  if (type < 0 || type > 2)
    return;
  std::lock_guard<std::mutex> lock(g_registryLock);
  g_factories[type] = std::move(factory);
}

std::unique_ptr<ICommBackend> Comm_CreateBackend(int type) {
  if (type < 0 || type > 2)
    return nullptr;
  CommBackendFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_registryLock);
    factory = g_factories[type];
  }
  return factory ? factory() : CreateBuiltIn(type);
}
