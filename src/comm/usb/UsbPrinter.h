// What the USB backend makes of a device's descriptors: whether it is a
// printer, its name, and which endpoints carry which channel.
//
// Endpoint roles, within the chosen printer-class interface:
//  - the first bulk OUT endpoint is the normal ("Norm/RT") output;
//  - a second bulk OUT endpoint is the real-time output;
//  - the first bulk IN endpoint carries the printer's data;
//  - another IN endpoint (bulk or interrupt) carries the unsolicited status
//    messages (the USM channel).
// Plain functions of the descriptors; no thread concerns.
#pragma once

#include <string>
#include <vector>

#include "comm/usb/UsbApi.h"
#include "platform/Win32Types.h"

// The library reports at most this many devices (the panel's table size).
inline constexpr size_t USB_MAX_PRINTERS = 50;

// Bits of the printer-class port status byte (GET_PORT_STATUS).
inline constexpr uint8_t USB_PORT_NOT_ERROR = 0x08;
inline constexpr uint8_t USB_PORT_SELECTED = 0x10;
inline constexpr uint8_t USB_PORT_PAPER_EMPTY = 0x20;
// Line-status bits the backend reports for USB (a set bit is a fault).
inline constexpr DWORD USB_STATUS_ERROR = 0x1;
inline constexpr DWORD USB_STATUS_PAPER_OUT = 0x2;

struct USB_PRINTER {
  UsbDeviceInfo device;
  std::string name;
  UsbInterfaceInfo iface;  // the chosen printer-class alternate setting
  // Address 0 means "none" (endpoint 0 is never a data endpoint).
  UsbEndpointInfo out;
  UsbEndpointInfo rtOut;
  UsbEndpointInfo in;
  UsbEndpointInfo usmIn;
  bool HasOutput() const { return out.address != 0; }
  bool HasRealTime() const { return rtOut.address != 0; }
  bool HasUsm() const { return usmIn.address != 0; }
};

// Fills `printer` (all but device strings and name) from the device's
// printer-class interface. False when the device has none. Among several
// printer-class alternate settings, one with a bulk OUT endpoint is needed;
// one that also has a bulk IN endpoint, then the bidirectional protocol (2),
// is preferred.
bool ChooseUsbPrinterInterface(const UsbDeviceInfo& device, USB_PRINTER& printer);

// "Manufacturer Product" from the string descriptors; one of them alone when
// the other is missing; "USB Printer VVVV:PPPP" when both are. At most 127
// characters, printable ASCII only.
std::string MakeUsbPrinterName(const UsbDeviceInfo& device);

// The printers on the bus, in bus order, at most USB_MAX_PRINTERS, with their
// strings read. USB_SUCCESS or the error of the bus listing.
int ListUsbPrinters(IUsbApi& api, std::vector<USB_PRINTER>& printers);

// The line-status word for a port status byte: USB_STATUS_ERROR when the
// "not error" bit is clear, USB_STATUS_PAPER_OUT when "paper empty" is set.
DWORD UsbPortStatusToLineStatus(uint8_t portStatus);

// The text of a GET_DEVICE_ID reply (two-byte big-endian length that counts
// itself, then the ID). The length is trusted only as far as the bytes
// received; a reply whose length reads sensibly only little-endian (some
// devices send it so) is accepted too. Non-printable bytes become '.'.
std::string ParseUsbDeviceId(const uint8_t* data, int length);
