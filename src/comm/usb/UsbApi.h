// The narrow seam between the USB backend and libusb-1.0.
//
// Everything the backend needs from the bus goes through IUsbApi (the bus:
// enumeration, string descriptors, opening) and IUsbDeviceHandle (one open
// device). CLibUsbApi implements them with libusb; CFakeUsbApi simulates
// printer-class devices for tests. Results are libusb's error numbers
// (USB_SUCCESS, USB_ERROR_*; same values), so both sides read alike.
//
// Threading: IUsbApi calls come from one thread at a time (the library's
// callers). An IUsbDeviceHandle may be used by several threads at once as
// long as each endpoint has one user (libusb's synchronous calls allow it);
// every transfer is bounded by its time-out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// libusb error numbers.
inline constexpr int USB_SUCCESS = 0;
inline constexpr int USB_ERROR_IO = -1;
inline constexpr int USB_ERROR_INVALID_PARAM = -2;
inline constexpr int USB_ERROR_ACCESS = -3;
inline constexpr int USB_ERROR_NO_DEVICE = -4;
inline constexpr int USB_ERROR_NOT_FOUND = -5;
inline constexpr int USB_ERROR_BUSY = -6;
inline constexpr int USB_ERROR_TIMEOUT = -7;
inline constexpr int USB_ERROR_OVERFLOW = -8;
inline constexpr int USB_ERROR_PIPE = -9;
inline constexpr int USB_ERROR_INTERRUPTED = -10;
inline constexpr int USB_ERROR_NO_MEM = -11;
inline constexpr int USB_ERROR_NOT_SUPPORTED = -12;
inline constexpr int USB_ERROR_OTHER = -99;

// Endpoint attributes (bmAttributes & 3) and direction (address & 0x80).
inline constexpr uint8_t USB_TRANSFER_CONTROL = 0;
inline constexpr uint8_t USB_TRANSFER_ISOCHRONOUS = 1;
inline constexpr uint8_t USB_TRANSFER_BULK = 2;
inline constexpr uint8_t USB_TRANSFER_INTERRUPT = 3;
inline constexpr uint8_t USB_ENDPOINT_IN = 0x80;

inline constexpr uint8_t USB_CLASS_PRINTER = 7;

struct UsbEndpointInfo {
  uint8_t address = 0;     // bit 7 set: IN
  uint8_t transfer = 0;    // USB_TRANSFER_*
  uint16_t maxPacket = 0;  // wMaxPacketSize (size bits only)
  bool IsIn() const { return (address & USB_ENDPOINT_IN) != 0; }
};

// One alternate setting of one interface of the active configuration.
struct UsbInterfaceInfo {
  uint8_t number = 0;
  uint8_t altSetting = 0;
  uint8_t cls = 0;
  uint8_t subClass = 0;
  uint8_t protocol = 0;
  std::vector<UsbEndpointInfo> endpoints;
};

struct UsbDeviceInfo {
  // Where the device sits: bus and address identify it until it is
  // unplugged; the port path ("1-2.3") stays the same across re-plugging.
  uint8_t bus = 0;
  uint8_t address = 0;
  std::string portPath;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t bcdUsb = 0;
  uint16_t bcdDevice = 0;
  uint8_t deviceClass = 0;
  uint8_t iManufacturer = 0;  // string descriptor indexes, 0 = none
  uint8_t iProduct = 0;
  uint8_t iSerial = 0;
  uint8_t configValue = 0;  // bConfigurationValue of the active configuration
  uint8_t configIndex = 0;  // its position among the configurations
  std::vector<UsbInterfaceInfo> interfaces;
  // Filled by IUsbApi::ReadStrings; empty when the device has none or could
  // not be opened to read them.
  std::string manufacturer;
  std::string product;
  std::string serial;
};

class IUsbDeviceHandle {
 public:
  virtual ~IUsbDeviceHandle() = default;  // closes the device
  // 1 active, 0 none, or an error.
  virtual int KernelDriverActive(int iface) = 0;
  virtual int DetachKernelDriver(int iface) = 0;
  virtual int AttachKernelDriver(int iface) = 0;
  virtual int ClaimInterface(int iface) = 0;
  virtual int ReleaseInterface(int iface) = 0;
  virtual int SetAltSetting(int iface, int alt) = 0;
  virtual int ClearHalt(uint8_t endpoint) = 0;
  // Bulk or interrupt transfer by `transfer` (USB_TRANSFER_BULK/INTERRUPT).
  // *transferred is set also on USB_ERROR_TIMEOUT (bytes moved before it).
  virtual int Transfer(uint8_t endpoint, uint8_t transfer, uint8_t* data, int length,
                       int* transferred, unsigned timeoutMs) = 0;
  // Bytes moved (>= 0) or an error.
  virtual int Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                      uint8_t* data, uint16_t length, unsigned timeoutMs) = 0;
};

class IUsbApi {
 public:
  virtual ~IUsbApi() = default;
  // Makes the bus usable; USB_SUCCESS or an error. Called once before the rest.
  virtual int Init() = 0;
  // Every device on the bus with its descriptors (no strings yet).
  virtual int ListDevices(std::vector<UsbDeviceInfo>& out) = 0;
  // Fills manufacturer, product and serial (opening the device briefly).
  virtual int ReadStrings(UsbDeviceInfo& device) = 0;
  virtual int Open(const UsbDeviceInfo& device, std::unique_ptr<IUsbDeviceHandle>& out) = 0;
  // A short text for an error number.
  virtual std::string ErrorText(int error) = 0;
};
