#include "comm/usb/UsbPrinter.h"

#include <cstdio>

namespace {

constexpr size_t kMaxNameLength = 127;

bool IsBulk(const UsbEndpointInfo& ep) {
  return ep.transfer == USB_TRANSFER_BULK;
}

bool HasBulk(const UsbInterfaceInfo& iface, bool in) {
  for (const UsbEndpointInfo& ep : iface.endpoints) {
    if (IsBulk(ep) && ep.IsIn() == in)
      return true;
  }
  return false;
}

int Score(const UsbInterfaceInfo& iface) {
  if (!HasBulk(iface, false))
    return 0;
  return 1 + (HasBulk(iface, true) ? 2 : 0) + (iface.protocol == 2 ? 1 : 0);
}

void AssignEndpoints(USB_PRINTER& printer) {
  printer.out = printer.rtOut = printer.in = printer.usmIn = UsbEndpointInfo{};
  for (const UsbEndpointInfo& ep : printer.iface.endpoints) {
    if (!ep.IsIn() && IsBulk(ep)) {
      if (printer.out.address == 0) {
        printer.out = ep;
      } else if (printer.rtOut.address == 0) {
        printer.rtOut = ep;
      }
    } else if (ep.IsIn() && IsBulk(ep) && printer.in.address == 0) {
      printer.in = ep;
    }
  }
  for (const UsbEndpointInfo& ep : printer.iface.endpoints) {
    bool usable = IsBulk(ep) || ep.transfer == USB_TRANSFER_INTERRUPT;
    if (ep.IsIn() && usable && ep.address != printer.in.address) {
      printer.usmIn = ep;
      break;
    }
  }
}

std::string Clean(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += (c >= 0x20 && c < 0x7F) ? c : ' ';
  }
  size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

}  // namespace

bool ChooseUsbPrinterInterface(const UsbDeviceInfo& device, USB_PRINTER& printer) {
  const UsbInterfaceInfo* best = nullptr;
  int bestScore = -1;
  for (const UsbInterfaceInfo& iface : device.interfaces) {
    if (iface.cls != USB_CLASS_PRINTER)
      continue;
    int score = Score(iface);
    if (score > bestScore) {
      best = &iface;
      bestScore = score;
    }
  }
  if (best == nullptr)
    return false;
  printer.device = device;
  printer.iface = *best;
  AssignEndpoints(printer);
  return true;
}

std::string MakeUsbPrinterName(const UsbDeviceInfo& device) {
  std::string manufacturer = Clean(device.manufacturer);
  std::string product = Clean(device.product);
  std::string name;
  if (!manufacturer.empty() && !product.empty()) {
    name = manufacturer + " " + product;
  } else if (!manufacturer.empty() || !product.empty()) {
    name = manufacturer.empty() ? product : manufacturer;
  } else {
    char text[40];
    std::snprintf(text, sizeof text, "USB Printer %04X:%04X", device.vendorId, device.productId);
    name = text;
  }
  if (name.size() > kMaxNameLength)
    name.resize(kMaxNameLength);
  return name;
}

int ListUsbPrinters(IUsbApi& api, std::vector<USB_PRINTER>& printers) {
  printers.clear();
  std::vector<UsbDeviceInfo> devices;
  int result = api.ListDevices(devices);
  if (result != USB_SUCCESS)
    return result;
  for (UsbDeviceInfo& device : devices) {
    if (printers.size() >= USB_MAX_PRINTERS)
      break;
    USB_PRINTER printer;
    if (!ChooseUsbPrinterInterface(device, printer))
      continue;
    // A device whose strings cannot be read (no permission) still gets a name.
    api.ReadStrings(printer.device);
    printer.name = MakeUsbPrinterName(printer.device);
    printers.push_back(std::move(printer));
  }
  return USB_SUCCESS;
}

DWORD UsbPortStatusToLineStatus(uint8_t portStatus) {
  DWORD status = 0;
  if ((portStatus & USB_PORT_NOT_ERROR) == 0)
    status |= USB_STATUS_ERROR;
  if ((portStatus & USB_PORT_PAPER_EMPTY) != 0)
    status |= USB_STATUS_PAPER_OUT;
  return status;
}

std::string ParseUsbDeviceId(const uint8_t* data, int length) {
  if (data == nullptr || length < 2)
    return {};
  size_t received = static_cast<size_t>(length);
  size_t bigEndian = (static_cast<size_t>(data[0]) << 8) | data[1];
  size_t littleEndian = (static_cast<size_t>(data[1]) << 8) | data[0];
  size_t total = bigEndian;
  if ((bigEndian < 2 || bigEndian > received) && littleEndian >= 2 && littleEndian <= received) {
    total = littleEndian;
  }
  if (total > received)
    total = received;
  std::string id;
  for (size_t i = 2; i < total; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\0')
      break;
    id += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  return id;
}
