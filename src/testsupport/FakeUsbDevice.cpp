#include "testsupport/FakeUsbDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
constexpr uint8_t kClassInterfaceIn = 0xA1;  // class request, to the interface, device to host
constexpr uint8_t kGetDeviceId = 0;
constexpr uint8_t kGetPortStatus = 1;
}  // namespace

CFakeUsbDevice::CFakeUsbDevice(UsbDeviceInfo info) : m_info(std::move(info)) {}

UsbDeviceInfo CFakeUsbDevice::Info() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_info;
}

void CFakeUsbDevice::Unplug() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_bPlugged = false;
  m_changed.notify_all();
}

bool CFakeUsbDevice::IsPlugged() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_bPlugged;
}

void CFakeUsbDevice::SetOpenError(int error) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_nOpenError = error;
}

void CFakeUsbDevice::SetClaimError(int error) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_nClaimError = error;
}

void CFakeUsbDevice::SetStringsReadable(bool readable) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_bStringsReadable = readable;
}

bool CFakeUsbDevice::StringsReadable() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_bStringsReadable && m_bPlugged;
}

void CFakeUsbDevice::SetKernelDriver(bool attached, int detachError) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_bDriverAttached = attached;
  m_nDetachError = detachError;
}

bool CFakeUsbDevice::IsKernelDriverAttached() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_bDriverAttached;
}

void CFakeUsbDevice::Feed(uint8_t endpoint, const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(m_lock);
  auto& queue = m_in[endpoint];
  queue.insert(queue.end(), bytes.begin(), bytes.end());
  m_changed.notify_all();
}

std::vector<uint8_t> CFakeUsbDevice::Received(uint8_t endpoint) const {
  std::lock_guard<std::mutex> lock(m_lock);
  auto it = m_out.find(endpoint);
  return it == m_out.end() ? std::vector<uint8_t>{} : it->second;
}

bool CFakeUsbDevice::WaitReceived(uint8_t endpoint, size_t count, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_lock);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    auto it = m_out.find(endpoint);
    return it != m_out.end() && it->second.size() >= count;
  });
}

void CFakeUsbDevice::SetHung(bool hung) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_bHung = hung;
  m_changed.notify_all();
}

void CFakeUsbDevice::SetOutBlocked(bool blocked) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_bOutBlocked = blocked;
  m_changed.notify_all();
}

void CFakeUsbDevice::SetTransferError(int error) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_nTransferError = error;
}

void CFakeUsbDevice::SetPortStatus(uint8_t status) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_byPortStatus = status;
}

void CFakeUsbDevice::SetDeviceId(const std::string& id) {
  std::lock_guard<std::mutex> lock(m_lock);
  size_t total = id.size() + 2;
  m_strDeviceId.assign(1, static_cast<char>((total >> 8) & 0xFF));
  m_strDeviceId += static_cast<char>(total & 0xFF);
  m_strDeviceId += id;
}

int CFakeUsbDevice::OpenCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_nOpenCount;
}

bool CFakeUsbDevice::IsClaimed(int iface) const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_claimed.count(iface) != 0;
}

int CFakeUsbDevice::Open() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (m_nOpenError != USB_SUCCESS)
    return m_nOpenError;
  ++m_nOpenCount;
  return USB_SUCCESS;
}

void CFakeUsbDevice::Close() {
  std::lock_guard<std::mutex> lock(m_lock);
  --m_nOpenCount;
  m_claimed.clear();
}

int CFakeUsbDevice::KernelDriverActive(int /*iface*/) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  return m_bDriverAttached ? 1 : 0;
}

int CFakeUsbDevice::DetachKernelDriver(int /*iface*/) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (!m_bDriverAttached)
    return USB_ERROR_NOT_FOUND;
  if (m_nDetachError != USB_SUCCESS)
    return m_nDetachError;
  m_bDriverAttached = false;
  return USB_SUCCESS;
}

int CFakeUsbDevice::AttachKernelDriver(int iface) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (m_claimed.count(iface) != 0)
    return USB_ERROR_BUSY;
  m_bDriverAttached = true;
  return USB_SUCCESS;
}

int CFakeUsbDevice::ClaimInterface(int iface) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (m_nClaimError != USB_SUCCESS)
    return m_nClaimError;
  // The kernel refuses an interface that its own driver still holds.
  if (m_bDriverAttached)
    return USB_ERROR_BUSY;
  m_claimed.insert(iface);
  return USB_SUCCESS;
}

int CFakeUsbDevice::ReleaseInterface(int iface) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  return m_claimed.erase(iface) != 0 ? USB_SUCCESS : USB_ERROR_NOT_FOUND;
}

int CFakeUsbDevice::SetAltSetting(int iface, int /*alt*/) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  return m_claimed.count(iface) != 0 ? USB_SUCCESS : USB_ERROR_NOT_FOUND;
}

const UsbEndpointInfo* CFakeUsbDevice::FindEndpoint(uint8_t endpoint) const {
  for (const UsbInterfaceInfo& iface : m_info.interfaces) {
    if (m_claimed.count(iface.number) == 0)
      continue;
    for (const UsbEndpointInfo& ep : iface.endpoints) {
      if (ep.address == endpoint)
        return &ep;
    }
  }
  return nullptr;
}

int CFakeUsbDevice::Transfer(uint8_t endpoint, uint8_t* data, int length, int* transferred,
                             unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(m_lock);
  *transferred = 0;
  m_changed.wait(lock, [this] { return !m_bHung; });
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (FindEndpoint(endpoint) == nullptr || length < 0)
    return USB_ERROR_NOT_FOUND;
  if (m_nTransferError != USB_SUCCESS)
    return m_nTransferError;
  if ((endpoint & USB_ENDPOINT_IN) != 0) {
    return ReadIn(lock, endpoint, data, length, transferred, timeoutMs);
  }
  return WriteOut(lock, endpoint, data, length, transferred, timeoutMs);
}

int CFakeUsbDevice::ReadIn(std::unique_lock<std::mutex>& lock, uint8_t endpoint, uint8_t* data,
                           int length, int* transferred, unsigned timeoutMs) {
  auto& queue = m_in[endpoint];
  bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !m_bPlugged || !queue.empty(); });
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (!ready)
    return USB_ERROR_TIMEOUT;
  size_t n = std::min(queue.size(), static_cast<size_t>(length));
  std::memcpy(data, queue.data(), n);
  queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(n));
  *transferred = static_cast<int>(n);
  return USB_SUCCESS;
}

int CFakeUsbDevice::WriteOut(std::unique_lock<std::mutex>& lock, uint8_t endpoint,
                             const uint8_t* data, int length, int* transferred,
                             unsigned timeoutMs) {
  bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !m_bPlugged || !m_bOutBlocked; });
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (!ready)
    return USB_ERROR_TIMEOUT;
  auto& sink = m_out[endpoint];
  sink.insert(sink.end(), data, data + length);
  *transferred = length;
  m_changed.notify_all();
  return USB_SUCCESS;
}

int CFakeUsbDevice::Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                            uint8_t* data, uint16_t length) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_bPlugged)
    return USB_ERROR_NO_DEVICE;
  if (requestType != kClassInterfaceIn || m_claimed.empty())
    return USB_ERROR_PIPE;
  if (request == kGetPortStatus && value == 0 && m_claimed.count(index) != 0 && length >= 1) {
    data[0] = m_byPortStatus;
    return 1;
  }
  if (request == kGetDeviceId && m_claimed.count(index >> 8) != 0) {
    size_t n = std::min(m_strDeviceId.size(), static_cast<size_t>(length));
    std::memcpy(data, m_strDeviceId.data(), n);
    return static_cast<int>(n);
  }
  return USB_ERROR_PIPE;
}
