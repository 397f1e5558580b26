// One open USB printer: its handle, the interface taken from the kernel
// driver, and its four channels (normal output, real-time output, data
// input, USM input; a channel whose endpoint the printer lacks stays idle).
//
// Lifetime: Open() makes it ready; StopChannels() completes every pending
// request with 995 and ends the workers (the break-down); the destructor
// stops the channels if still running, releases the interface, gives it back
// to the kernel driver if one was detached, and closes the device.
// Thread safety: after Open(), every member may be called from any thread;
// callers keep the object alive (shared ownership) while they use it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "comm/CommBackend.h"
#include "comm/usb/UsbApi.h"
#include "comm/usb/UsbChannel.h"
#include "comm/usb/UsbLink.h"
#include "comm/usb/UsbPrinter.h"

// Why an open failed: the comm-error code and its two texts.
struct USB_OPEN_ERROR {
  int code = 0;
  std::string text1;
  std::string text2;
};

class CUsbConnection {
 public:
  // Printer-class control requests: a status byte and the IEEE 1284 ID.
  static constexpr unsigned kControlTimeoutMs = 200;
  static constexpr uint16_t kDeviceIdMax = 1024;

  ~CUsbConnection();
  CUsbConnection(const CUsbConnection&) = delete;
  CUsbConnection& operator=(const CUsbConnection&) = delete;

  // Opens `printer`. On failure, `error` says why and everything taken is
  // given back.
  static std::shared_ptr<CUsbConnection> Open(IUsbApi& api, const USB_PRINTER& printer,
                                              CUsbLink::ErrorHook hook, USB_OPEN_ERROR& error);

  void StopChannels();

  const USB_PRINTER& Printer() const { return m_printer; }
  bool DriverDetached() const { return m_bDriverDetached; }
  CUsbLink& Link() { return *m_link; }

  // The output channel for an output-port selection: the real-time endpoint
  // for 1 when the printer has one, else the normal one.
  CUsbChannel& Tx(int outputPort);
  CUsbChannel& Rx() { return *m_rx; }
  CUsbChannel& Usm() { return *m_usm; }

  // GET_PORT_STATUS; USB_SUCCESS with the byte, or an error (an unplugged
  // device is marked gone).
  int ReadPortStatus(uint8_t& status);
  // GET_DEVICE_ID as text; empty when the printer does not answer.
  std::string ReadDeviceId();

 private:
  explicit CUsbConnection(const USB_PRINTER& printer);
  bool Claim(IUsbApi& api, USB_OPEN_ERROR& error);
  bool StartChannels(USB_OPEN_ERROR& error);
  int Control(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint16_t length);

  USB_PRINTER m_printer;
  std::shared_ptr<IUsbDeviceHandle> m_device;
  std::shared_ptr<CUsbLink> m_link;
  bool m_bDriverDetached = false;
  bool m_bClaimed = false;
  std::unique_ptr<CUsbChannel> m_out;
  std::unique_ptr<CUsbChannel> m_rtOut;
  std::unique_ptr<CUsbChannel> m_rx;
  std::unique_ptr<CUsbChannel> m_usm;
};
