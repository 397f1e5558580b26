#include "testsupport/FakeUsbApi.h"

namespace {

class CFakeUsbDeviceHandle : public IUsbDeviceHandle {
 public:
  explicit CFakeUsbDeviceHandle(std::shared_ptr<CFakeUsbDevice> device)
      : m_device(std::move(device)) {}
  ~CFakeUsbDeviceHandle() override { m_device->Close(); }
  CFakeUsbDeviceHandle(const CFakeUsbDeviceHandle&) = delete;
  CFakeUsbDeviceHandle& operator=(const CFakeUsbDeviceHandle&) = delete;

  int KernelDriverActive(int iface) override { return m_device->KernelDriverActive(iface); }
  int DetachKernelDriver(int iface) override { return m_device->DetachKernelDriver(iface); }
  int AttachKernelDriver(int iface) override { return m_device->AttachKernelDriver(iface); }
  int ClaimInterface(int iface) override { return m_device->ClaimInterface(iface); }
  int ReleaseInterface(int iface) override { return m_device->ReleaseInterface(iface); }
  int SetAltSetting(int iface, int alt) override { return m_device->SetAltSetting(iface, alt); }
  int ClearHalt(uint8_t /*endpoint*/) override {
    return m_device->IsPlugged() ? USB_SUCCESS : USB_ERROR_NO_DEVICE;
  }
  int Transfer(uint8_t endpoint, uint8_t /*transfer*/, uint8_t* data, int length, int* transferred,
               unsigned timeoutMs) override {
    return m_device->Transfer(endpoint, data, length, transferred, timeoutMs);
  }
  int Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
              uint16_t length, unsigned /*timeoutMs*/) override {
    return m_device->Control(requestType, request, value, index, data, length);
  }

 private:
  std::shared_ptr<CFakeUsbDevice> m_device;
};

}  // namespace

std::shared_ptr<CFakeUsbDevice> CFakeUsbApi::AddDevice(const UsbDeviceInfo& info) {
  auto device = std::make_shared<CFakeUsbDevice>(info);
  std::lock_guard<std::mutex> lock(m_lock);
  m_devices.push_back(device);
  return device;
}

int CFakeUsbApi::ListDevices(std::vector<UsbDeviceInfo>& out) {
  out.clear();
  if (m_nListError != USB_SUCCESS)
    return m_nListError;
  std::lock_guard<std::mutex> lock(m_lock);
  for (const auto& device : m_devices) {
    if (!device->IsPlugged())
      continue;
    UsbDeviceInfo info = device->Info();
    info.manufacturer.clear();
    info.product.clear();
    info.serial.clear();
    out.push_back(std::move(info));
  }
  return USB_SUCCESS;
}

std::shared_ptr<CFakeUsbDevice> CFakeUsbApi::Find(const UsbDeviceInfo& device) {
  std::lock_guard<std::mutex> lock(m_lock);
  for (const auto& candidate : m_devices) {
    UsbDeviceInfo info = candidate->Info();
    if (candidate->IsPlugged() && info.bus == device.bus && info.address == device.address) {
      return candidate;
    }
  }
  return nullptr;
}

int CFakeUsbApi::ReadStrings(UsbDeviceInfo& device) {
  auto found = Find(device);
  if (found == nullptr)
    return USB_ERROR_NO_DEVICE;
  if (!found->StringsReadable())
    return USB_ERROR_ACCESS;
  UsbDeviceInfo info = found->Info();
  device.manufacturer = info.iManufacturer != 0 ? info.manufacturer : std::string();
  device.product = info.iProduct != 0 ? info.product : std::string();
  device.serial = info.iSerial != 0 ? info.serial : std::string();
  return USB_SUCCESS;
}

int CFakeUsbApi::Open(const UsbDeviceInfo& device, std::unique_ptr<IUsbDeviceHandle>& out) {
  out.reset();
  auto found = Find(device);
  if (found == nullptr)
    return USB_ERROR_NO_DEVICE;
  int result = found->Open();
  if (result == USB_SUCCESS)
    out = std::make_unique<CFakeUsbDeviceHandle>(found);
  return result;
}

std::string CFakeUsbApi::ErrorText(int error) {
  switch (error) {
    case USB_SUCCESS:
      return "Success";
    case USB_ERROR_ACCESS:
      return "Access denied (insufficient permissions)";
    case USB_ERROR_NO_DEVICE:
      return "No such device (it may have been disconnected)";
    case USB_ERROR_BUSY:
      return "Resource busy";
    case USB_ERROR_TIMEOUT:
      return "Operation timed out";
    case USB_ERROR_PIPE:
      return "Pipe error";
    default:
      return "Other error " + std::to_string(error);
  }
}

UsbDeviceInfo CFakeUsbApi::PrinterInfo(uint8_t address, const std::string& manufacturer,
                                       const std::string& product,
                                       std::vector<UsbEndpointInfo> endpoints) {
  UsbDeviceInfo info;
  info.bus = 1;
  info.address = address;
  info.portPath = "1-" + std::to_string(address);
  info.vendorId = 0x1234;
  info.productId = static_cast<uint16_t>(0x5600 + address);
  info.bcdUsb = 0x0200;
  info.bcdDevice = 0x0100;
  info.iManufacturer = manufacturer.empty() ? 0 : 1;
  info.iProduct = product.empty() ? 0 : 2;
  info.iSerial = 3;
  info.configValue = 1;
  info.manufacturer = manufacturer;
  info.product = product;
  info.serial = "SN" + std::to_string(address);
  UsbInterfaceInfo iface;
  iface.cls = USB_CLASS_PRINTER;
  iface.subClass = 1;
  iface.protocol = 2;
  iface.endpoints = std::move(endpoints);
  info.interfaces.push_back(std::move(iface));
  return info;
}
