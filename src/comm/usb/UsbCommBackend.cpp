#include "comm/usb/UsbCommBackend.h"

#include "comm/CommBackendRegistry.h"
#include "comm/usb/LibUsbApi.h"

std::unique_ptr<ICommBackend> CreateUsbCommBackend() {
  return std::make_unique<CUsbCommBackend>(std::make_unique<CLibUsbApi>());
}

CUsbCommBackend::CUsbCommBackend(std::unique_ptr<IUsbApi> api)
    : m_backend(std::move(api), MakeHooks()) {}

CUsbBackend::Hooks CUsbCommBackend::MakeHooks() {
  CUsbBackend::Hooks hooks;
  hooks.show = [this](int code, const std::string& text1, const std::string& text2) {
    if (m_pErrors != nullptr)
      m_pErrors->ShowCommError(code, text1.c_str(), text2.c_str());
  };
  hooks.log = [this](DWORD code) {
    if (m_pErrors != nullptr)
      m_pErrors->LogSystemError(code);
  };
  return hooks;
}

int CUsbCommBackend::Setup(ICommErrorSink* errors) {
  m_pErrors = errors;
  return m_backend.Setup();
}

void CUsbCommBackend::Cleanup() {
  m_backend.Cleanup();
}

unsigned CUsbCommBackend::IsConnectionValid(DWORD port, int /*setupCode*/, int outputPort, int, int,
                                            int, int) {
  return m_backend.IsConnectionValid(port, outputPort);
}

int CUsbCommBackend::UpdateConnection(int readersStopped, DWORD& port, char* /*name*/,
                                      int& outputPort, int& usm, int& realTime, int&, int&) {
  return m_backend.UpdateConnection(readersStopped, port, outputPort, usm, realTime);
}

int CUsbCommBackend::IsPortAvailable() {
  return m_backend.IsConnected() != 0 && m_backend.IsDevicePresent() != 0 ? 1 : 0;
}

bool CUsbCommBackend::HasChannel(int channel) {
  if (m_backend.IsConnected() == 0)
    return false;
  // A printer without a data IN endpoint still has an RX channel (reads stay
  // pending), so the data reader waits quietly.
  return channel != COMM_CHANNEL_RX_USM || m_backend.HasUsm();
}

int CUsbCommBackend::Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) {
  return m_backend.Write(buffer, length, written, ov);
}

int CUsbCommBackend::Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) {
  return m_backend.Read(channel, buffer, length, read, ov);
}

CommPacketSizes CUsbCommBackend::PacketSizes() {
  return CommPacketSizes{CUsbBackend::kCommPacketSize, CUsbBackend::kStringPacketSize,
                         CUsbBackend::kDownloadPacketSize};
}

int CUsbCommBackend::InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength,
                                         OVERLAPPED& ov) {
  return m_backend.InitGetDeviceStatus(buffer, length, outLength, ov);
}

int CUsbCommBackend::GetDeviceStatus(void* buffer, DWORD length, DWORD& status) {
  return m_backend.GetDeviceStatus(buffer, length, status);
}

int CUsbCommBackend::GetPortParams(int& usmChannel, int& rtChannel, const char* /*prefix*/,
                                   int& count, char (*table)[128], int capacity) {
  return m_backend.GetPortParams(usmChannel, rtChannel, count, table, capacity);
}

void CUsbCommBackend::ShowPortProperties(char* buffer, size_t size) {
  m_backend.ShowPortProperties(buffer, size);
}
