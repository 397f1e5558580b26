#include "comm/usb/LibUsbApi.h"

#include <libusb.h>

namespace {

// One open device. libusb allows concurrent synchronous transfers on
// different endpoints of one handle.
class CLibUsbDeviceHandle : public IUsbDeviceHandle {
 public:
  CLibUsbDeviceHandle(libusb_device_handle* handle, std::shared_ptr<libusb_context> context)
      : m_pHandle(handle), m_context(std::move(context)) {}
  // Closed before the context share is given up (the member goes after).
  ~CLibUsbDeviceHandle() override { libusb_close(m_pHandle); }
  CLibUsbDeviceHandle(const CLibUsbDeviceHandle&) = delete;
  CLibUsbDeviceHandle& operator=(const CLibUsbDeviceHandle&) = delete;

  int KernelDriverActive(int iface) override {
    return libusb_kernel_driver_active(m_pHandle, iface);
  }
  int DetachKernelDriver(int iface) override {
    return libusb_detach_kernel_driver(m_pHandle, iface);
  }
  int AttachKernelDriver(int iface) override {
    return libusb_attach_kernel_driver(m_pHandle, iface);
  }
  int ClaimInterface(int iface) override { return libusb_claim_interface(m_pHandle, iface); }
  int ReleaseInterface(int iface) override { return libusb_release_interface(m_pHandle, iface); }
  int SetAltSetting(int iface, int alt) override {
    return libusb_set_interface_alt_setting(m_pHandle, iface, alt);
  }
  int ClearHalt(uint8_t endpoint) override { return libusb_clear_halt(m_pHandle, endpoint); }

  int Transfer(uint8_t endpoint, uint8_t transfer, uint8_t* data, int length, int* transferred,
               unsigned timeoutMs) override {
    *transferred = 0;
    if (transfer == USB_TRANSFER_INTERRUPT) {
      return libusb_interrupt_transfer(m_pHandle, endpoint, data, length, transferred, timeoutMs);
    }
    return libusb_bulk_transfer(m_pHandle, endpoint, data, length, transferred, timeoutMs);
  }

  int Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
              uint16_t length, unsigned timeoutMs) override {
    return libusb_control_transfer(m_pHandle, requestType, request, value, index, data, length,
                                   timeoutMs);
  }

 private:
  libusb_device_handle* m_pHandle;
  std::shared_ptr<libusb_context> m_context;
};

std::string PortPath(libusb_device* dev) {
  uint8_t ports[8];
  int n = libusb_get_port_numbers(dev, ports, static_cast<int>(sizeof ports));
  std::string path = std::to_string(libusb_get_bus_number(dev));
  for (int i = 0; i < n; ++i) {
    path += (i == 0 ? "-" : ".");
    path += std::to_string(ports[i]);
  }
  return path;
}

void CopyInterfaces(const libusb_config_descriptor* config, UsbDeviceInfo& info) {
  info.configValue = config->bConfigurationValue;
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& iface = config->interface[i];
    for (int a = 0; a < iface.num_altsetting; ++a) {
      const libusb_interface_descriptor& alt = iface.altsetting[a];
      UsbInterfaceInfo out;
      out.number = alt.bInterfaceNumber;
      out.altSetting = alt.bAlternateSetting;
      out.cls = alt.bInterfaceClass;
      out.subClass = alt.bInterfaceSubClass;
      out.protocol = alt.bInterfaceProtocol;
      for (int e = 0; e < alt.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& ep = alt.endpoint[e];
        out.endpoints.push_back(UsbEndpointInfo{ep.bEndpointAddress,
                                                static_cast<uint8_t>(ep.bmAttributes & 3),
                                                static_cast<uint16_t>(ep.wMaxPacketSize & 0x7FF)});
      }
      info.interfaces.push_back(std::move(out));
    }
  }
}

// The active configuration, or the first one when the device is not
// configured; its index among the configurations is what GET_DEVICE_ID wants.
void ReadConfiguration(libusb_device* dev, const libusb_device_descriptor& desc,
                       UsbDeviceInfo& info) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(dev, &config) != LIBUSB_SUCCESS) {
    if (libusb_get_config_descriptor(dev, 0, &config) != LIBUSB_SUCCESS)
      return;
  }
  CopyInterfaces(config, info);
  for (uint8_t i = 0; i < desc.bNumConfigurations; ++i) {
    libusb_config_descriptor* other = nullptr;
    if (libusb_get_config_descriptor(dev, i, &other) != LIBUSB_SUCCESS)
      continue;
    bool same = other->bConfigurationValue == config->bConfigurationValue;
    libusb_free_config_descriptor(other);
    if (same) {
      info.configIndex = i;
      break;
    }
  }
  libusb_free_config_descriptor(config);
}

std::string ReadString(libusb_device_handle* handle, uint8_t index) {
  if (index == 0)
    return {};
  unsigned char text[256] = {};
  int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
  if (n <= 0)
    return {};
  return std::string(reinterpret_cast<char*>(text), static_cast<size_t>(n));
}

}  // namespace

int CLibUsbApi::Init() {
  if (m_context)
    return USB_SUCCESS;
  libusb_context* context = nullptr;
  int result = libusb_init(&context);
  if (result == LIBUSB_SUCCESS)
    m_context.reset(context, [](libusb_context* c) { libusb_exit(c); });
  return result;
}

int CLibUsbApi::ListDevices(std::vector<UsbDeviceInfo>& out) {
  out.clear();
  if (!m_context)
    return USB_ERROR_OTHER;
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(m_context.get(), &list);
  if (count < 0)
    return static_cast<int>(count);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* dev = list[i];
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(dev, &desc) != LIBUSB_SUCCESS)
      continue;
    UsbDeviceInfo info;
    info.bus = libusb_get_bus_number(dev);
    info.address = libusb_get_device_address(dev);
    info.portPath = PortPath(dev);
    info.vendorId = desc.idVendor;
    info.productId = desc.idProduct;
    info.bcdUsb = desc.bcdUSB;
    info.bcdDevice = desc.bcdDevice;
    info.deviceClass = desc.bDeviceClass;
    info.iManufacturer = desc.iManufacturer;
    info.iProduct = desc.iProduct;
    info.iSerial = desc.iSerialNumber;
    ReadConfiguration(dev, desc, info);
    out.push_back(std::move(info));
  }
  libusb_free_device_list(list, 1);
  return USB_SUCCESS;
}

// Opens the device at the bus and address of `device`; the libusb error,
// or USB_ERROR_NO_DEVICE when it has left the bus.
int CLibUsbApi::OpenByAddress(const UsbDeviceInfo& device, libusb_device_handle** handle) {
  *handle = nullptr;
  if (!m_context)
    return USB_ERROR_OTHER;
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(m_context.get(), &list);
  if (count < 0)
    return static_cast<int>(count);
  int result = USB_ERROR_NO_DEVICE;
  for (ssize_t i = 0; i < count; ++i) {
    if (libusb_get_bus_number(list[i]) == device.bus &&
        libusb_get_device_address(list[i]) == device.address) {
      result = libusb_open(list[i], handle);
      break;
    }
  }
  libusb_free_device_list(list, 1);
  return result;
}

int CLibUsbApi::ReadStrings(UsbDeviceInfo& device) {
  libusb_device_handle* handle = nullptr;
  int result = OpenByAddress(device, &handle);
  if (result == LIBUSB_SUCCESS) {
    device.manufacturer = ReadString(handle, device.iManufacturer);
    device.product = ReadString(handle, device.iProduct);
    device.serial = ReadString(handle, device.iSerial);
    libusb_close(handle);
  }
  return result;
}

int CLibUsbApi::Open(const UsbDeviceInfo& device, std::unique_ptr<IUsbDeviceHandle>& out) {
  out.reset();
  libusb_device_handle* handle = nullptr;
  int result = OpenByAddress(device, &handle);
  if (result == LIBUSB_SUCCESS)
    out = std::make_unique<CLibUsbDeviceHandle>(handle, m_context);
  return result;
}

std::string CLibUsbApi::ErrorText(int error) {
  return libusb_strerror(error);
}
