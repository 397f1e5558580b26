// The text the USB backend shows as "port properties": the device's
// descriptors, the endpoints and the role each plays, the kernel driver, the
// IEEE 1284 device ID and the port status. Lines end with "\r\n".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "comm/usb/UsbPrinter.h"

struct USB_PROPERTIES {
  const USB_PRINTER* printer = nullptr;  // the open printer, or null
  int outputPort = 0;
  bool driverDetached = false;
  bool present = false;
  std::string deviceId;
  std::optional<uint8_t> portStatus;
  // Shown when no printer is open.
  std::vector<std::string> available;
};

std::string FormatUsbProperties(const USB_PROPERTIES& props);
