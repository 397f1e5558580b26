// The Comm_* entry points: each forwards to the current backend of the one
// library state (CommLibrary.h). Without a set-up every call fails (0) or
// gives the documented default.
#include "comm/Cablox.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "comm/CommLibrary.h"
#include "platform/LastError.h"

namespace {

CCommLibrary& Lib() {
  return CCommLibrary::Instance();
}

constexpr CommPacketSizes kDefaultSizes{};
constexpr DWORD kDefaultReadTimeoutMs = 500;
constexpr int kPortTableSize = 50;
constexpr int kDiscoveryTableSize = 255;  // the larger: Comm_GetPortNames' table

}  // namespace

int Comm_OpenSetup(IMessageTarget* owner, int type) {
  return Lib().OpenSetup(owner, type);
}
int Comm_IsOpened() {
  return Lib().IsOpened();
}

int Comm_IsConnected() {
  auto backend = Lib().Backend();
  return backend ? backend->IsConnected() : 0;
}

void Comm_CloseCleanuo() {
  Lib().CloseCleanup();
}
int Comm_BreakDownCommPort() {
  return Lib().BreakDown();
}

void Comm_AbortOutput() {
  auto backend = Lib().Backend();
  if (backend)
    backend->AbortOutput();
}

int Comm_WaitOutputSent(DWORD waitMs, DWORD* pending) {
  auto backend = Lib().Backend();
  *pending = 0;
  return backend ? backend->WaitOutputSent(waitMs, pending) : COMM_OUTPUT_SENT;
}

unsigned Comm_IsConnectionValid(DWORD port, int setupCode, int baudMainOrOutput,
                                int parityOrOutputSel, int flowOrRtPort, int dataBitsOrUsmPort,
                                int stopBits) {
  auto backend = Lib().Backend();
  return backend ? backend->IsConnectionValid(port, setupCode, baudMainOrOutput, parityOrOutputSel,
                                              flowOrRtPort, dataBitsOrUsmPort, stopBits)
                 : 2;
}

int Comm_UpdateConnection(int usbReadersStopped, DWORD& port, char* name, int& baudMainOrOutput,
                          int& parityOrUsm, int& flowOrRealTime, int& dataBitsOrOutputSel,
                          int& stopBitsOrCompletion) {
  auto backend = Lib().Backend();
  if (!backend) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return backend->UpdateConnection(usbReadersStopped, port, name, baudMainOrOutput, parityOrUsm,
                                   flowOrRealTime, dataBitsOrOutputSel, stopBitsOrCompletion);
}

int Comm_IsPortAvailable() {
  auto backend = Lib().Backend();
  return backend ? backend->IsPortAvailable() : 0;
}

void Comm_SetConnect(int available) {
  Lib().SetConnect(available);
}

void* Comm_GethCommPortTX() {
  return Lib().Handle(COMM_CHANNEL_TX);
}
void* Comm_GethCommPortRX() {
  return Lib().Handle(COMM_CHANNEL_RX);
}
void* Comm_GethCommPortRXUsm() {
  return Lib().Handle(COMM_CHANNEL_RX_USM);
}
OVERLAPPED* Comm_GetOverlappedTX() {
  return Lib().Record(COMM_CHANNEL_TX);
}
OVERLAPPED* Comm_GetOverlappedRX() {
  return Lib().Record(COMM_CHANNEL_RX);
}
OVERLAPPED* Comm_GetOverlappedRXUsm() {
  return Lib().Record(COMM_CHANNEL_RX_USM);
}

int Comm_WritePort(void* handle, const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) {
  if (written != nullptr)
    *written = 0;
  auto backend = Lib().Backend();
  if (!backend || Lib().ChannelOf(handle) != COMM_CHANNEL_TX) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (ov == nullptr || (buffer == nullptr && length != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return backend->Write(buffer, length, written, ov);
}

int Comm_ReadPort(void* handle, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) {
  if (read != nullptr)
    *read = 0;
  auto backend = Lib().Backend();
  int channel = Lib().ChannelOf(handle);
  if (!backend || (channel != COMM_CHANNEL_RX && channel != COMM_CHANNEL_RX_USM)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (ov == nullptr || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return backend->Read(channel, buffer, length, read, ov);
}

unsigned Comm_GetCommPacketSize() {
  auto backend = Lib().Backend();
  return (backend ? backend->PacketSizes() : kDefaultSizes).comm;
}

unsigned Comm_GetStringPacketSize() {
  auto backend = Lib().Backend();
  return (backend ? backend->PacketSizes() : kDefaultSizes).string;
}

unsigned Comm_GetDownloadPacketSize() {
  auto backend = Lib().Backend();
  return (backend ? backend->PacketSizes() : kDefaultSizes).download;
}

DWORD Comm_GetReadTimeout() {
  auto backend = Lib().Backend();
  return backend ? backend->ReadTimeout() : kDefaultReadTimeoutMs;
}

int Comm_InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength, OVERLAPPED& ov) {
  if (outLength != nullptr)
    *outLength = 0;
  auto backend = Lib().Backend();
  return backend ? backend->InitGetDeviceStatus(buffer, length, outLength, ov) : 0;
}

int Comm_GetDeviceStatus(void* buffer, DWORD length, DWORD& status) {
  auto backend = Lib().Backend();
  return backend ? backend->GetDeviceStatus(buffer, length, status) : 0;
}

int Comm_IsDevicePresent() {
  auto backend = Lib().Backend();
  return backend ? backend->IsDevicePresent() : 0;
}

int Comm_GetPortParams(int& usmChannel, int& rtChannel, const char* prefix, int& count,
                       char (*table)[128]) {
  auto backend = Lib().Backend();
  if (!backend || table == nullptr)
    return 0;
  int capacity =
      (prefix == nullptr && Lib().Type() == COMM_TYPE_TCPIP) ? kDiscoveryTableSize : kPortTableSize;
  return backend->GetPortParams(usmChannel, rtChannel, prefix, count, table, capacity);
}

int Comm_GetPortNames(int& usmChannel, int& rtChannel, const char* prefix,
                      std::vector<std::string>& names) {
  const auto table = std::make_unique<char[][128]>(kDiscoveryTableSize);
  int count = 0;
  if (!Comm_GetPortParams(usmChannel, rtChannel, prefix, count, table.get()))
    return 0;
  names.clear();
  for (int i = 0; i < count && i < kDiscoveryTableSize; ++i) {
    table[i][127] = '\0';
    names.emplace_back(table[i]);
  }
  return 1;
}

int Comm_SetDeviceParams(const char* frame) {
  auto backend = Lib().Backend();
  return (backend && frame != nullptr) ? backend->SetDeviceParams(frame) : 0;
}

void Comm_ShowPortProperties(char* buffer) {
  if (buffer == nullptr)
    return;
  constexpr size_t kSize = 8192;
  auto backend = Lib().Backend();
  if (!backend) {
    std::snprintf(buffer, kSize, "No interface is set up.\r\n");
    return;
  }
  backend->ShowPortProperties(buffer, kSize);
  buffer[kSize - 1] = '\0';
}
