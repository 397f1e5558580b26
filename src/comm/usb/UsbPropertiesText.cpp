#include "comm/usb/UsbPropertiesText.h"

#include <cstdarg>
#include <cstdio>

namespace {

void Line(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void Line(std::string& out, const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  out += text;
  out += "\r\n";
}

const char* TransferName(uint8_t transfer) {
  switch (transfer) {
    case USB_TRANSFER_BULK:
      return "bulk";
    case USB_TRANSFER_INTERRUPT:
      return "interrupt";
    case USB_TRANSFER_ISOCHRONOUS:
      return "isochronous";
    default:
      return "control";
  }
}

const char* ProtocolName(uint8_t protocol) {
  switch (protocol) {
    case 1:
      return "unidirectional";
    case 2:
      return "bidirectional";
    case 3:
      return "IEEE 1284.4";
    default:
      return "other";
  }
}

std::string Role(const USB_PRINTER& p, const UsbEndpointInfo& ep, int outputPort) {
  bool rtSelected = outputPort == 1 && p.HasRealTime();
  if (ep.address == p.out.address && !ep.IsIn()) {
    return rtSelected ? "Norm/RT output" : "Norm/RT output (selected)";
  }
  if (ep.address == p.rtOut.address && !ep.IsIn()) {
    return rtSelected ? "Real Time output (selected)" : "Real Time output";
  }
  if (ep.address == p.in.address && ep.IsIn())
    return "data input";
  if (ep.address == p.usmIn.address && ep.IsIn())
    return "USM input";
  return "not used";
}

void Descriptors(std::string& out, const USB_PRINTER& p) {
  const UsbDeviceInfo& d = p.device;
  Line(out, "USB printer: %s", p.name.c_str());
  Line(out, "Bus %03u, device %03u, port %s", d.bus, d.address, d.portPath.c_str());
  Line(out, "Vendor ID: 0x%04X, Product ID: 0x%04X", d.vendorId, d.productId);
  Line(out, "USB version: %x.%02x, device release: %x.%02x", d.bcdUsb >> 8, d.bcdUsb & 0xFF,
       d.bcdDevice >> 8, d.bcdDevice & 0xFF);
  Line(out, "Manufacturer: %s", d.manufacturer.c_str());
  Line(out, "Product: %s", d.product.c_str());
  Line(out, "Serial number: %s", d.serial.c_str());
  Line(out, "Configuration %u, interface %u, alternate setting %u", d.configValue, p.iface.number,
       p.iface.altSetting);
  Line(out, "Interface class %u (printer), subclass %u, protocol %u (%s)", p.iface.cls,
       p.iface.subClass, p.iface.protocol, ProtocolName(p.iface.protocol));
}

void Endpoints(std::string& out, const USB_PRINTER& p, int outputPort) {
  Line(out, "Endpoints:");
  for (const UsbEndpointInfo& ep : p.iface.endpoints) {
    Line(out, "  0x%02X %s %s, %u bytes: %s", ep.address, ep.IsIn() ? "IN" : "OUT",
         TransferName(ep.transfer), ep.maxPacket, Role(p, ep, outputPort).c_str());
  }
  Line(out, "Real-time channel: %s", p.HasRealTime() ? "yes" : "no");
  Line(out, "USM channel: %s", p.HasUsm() ? "yes" : "no");
}

void PortStatus(std::string& out, const USB_PROPERTIES& props) {
  if (!props.portStatus) {
    Line(out, "Port status: not available");
    return;
  }
  uint8_t s = *props.portStatus;
  Line(out, "Port status: 0x%02X (%s, %s, %s)", s,
       (s & USB_PORT_NOT_ERROR) != 0 ? "no error" : "ERROR",
       (s & USB_PORT_SELECTED) != 0 ? "selected" : "not selected",
       (s & USB_PORT_PAPER_EMPTY) != 0 ? "PAPER OUT" : "paper present");
}

}  // namespace

std::string FormatUsbProperties(const USB_PROPERTIES& props) {
  std::string out;
  if (props.printer == nullptr) {
    Line(out, "No USB printer is open.");
    Line(out, "USB printers found: %zu", props.available.size());
    for (const std::string& name : props.available)
      Line(out, "  %s", name.c_str());
    return out;
  }
  const USB_PRINTER& p = *props.printer;
  Descriptors(out, p);
  Endpoints(out, p, props.outputPort);
  Line(out, "Kernel driver: %s", props.driverDetached ? "detached while open (usblp)" : "none");
  Line(out, "Device present: %s", props.present ? "yes" : "no (unplugged)");
  Line(out, "IEEE 1284 device ID: %s",
       props.deviceId.empty() ? "(not reported)" : props.deviceId.c_str());
  PortStatus(out, props);
  return out;
}
