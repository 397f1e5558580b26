// The USB backend as the communications library sees it (ICommBackend):
// a thin adapter over CUsbBackend, which holds the logic and documents the
// values, sizes and time-outs (see also docs/usb-backend.md).
//
// Connection values: port = device index; Comm_IsConnectionValid reads the
// output port (the set-up code and the rest unused); Comm_UpdateConnection
// reads the output port and fills in the USM and real-time channel flags
// (the last two values are untouched, the name is not used).
//
// Thread safety: as ICommBackend (CUsbBackend guards its own state).
#pragma once

#include <memory>

#include "comm/CommBackend.h"
#include "comm/usb/UsbApi.h"
#include "comm/usb/UsbBackend.h"

class CUsbCommBackend : public ICommBackend {
 public:
  explicit CUsbCommBackend(std::unique_ptr<IUsbApi> api);

  int Setup(ICommErrorSink* errors) override;
  void Cleanup() override;
  unsigned IsConnectionValid(DWORD port, int setupCode, int outputPort, int, int, int,
                             int) override;
  int UpdateConnection(int readersStopped, DWORD& port, char* name, int& outputPort, int& usm,
                       int& realTime, int&, int&) override;
  int BreakDown() override { return m_backend.BreakDown(); }
  int IsConnected() override { return m_backend.IsConnected(); }
  int IsPortAvailable() override;
  bool HasChannel(int channel) override;
  int Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) override;
  int Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) override;
  CommPacketSizes PacketSizes() override;
  DWORD ReadTimeout() override { return CUsbBackend::kReadTimeoutMs; }
  int InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength, OVERLAPPED& ov) override;
  int GetDeviceStatus(void* buffer, DWORD length, DWORD& status) override;
  int IsDevicePresent() override { return m_backend.IsDevicePresent(); }
  int GetPortParams(int& usmChannel, int& rtChannel, const char* prefix, int& count,
                    char (*table)[128], int capacity) override;
  int SetDeviceParams(const char*) override { return 0; }
  void ShowPortProperties(char* buffer, size_t size) override;

 private:
  CUsbBackend::Hooks MakeHooks();

  ICommErrorSink* m_pErrors = nullptr;  // set by Setup, before any thread reports
  CUsbBackend m_backend;
};
