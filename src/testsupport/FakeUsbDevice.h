// A simulated USB device for tests of the USB backend: descriptors as given,
// a kernel driver that can be attached, endpoints with byte queues, the
// printer-class GET_DEVICE_ID and GET_PORT_STATUS requests, and unplugging.
//
// The test side (Feed, Received, Unplug, Set...) and the handle side (the
// IUsbDeviceHandle-like calls used by CFakeUsbApi's handles) may run on
// different threads: every member takes the device's lock. Transfers wait at
// most their time-out, and unplugging wakes them at once with
// USB_ERROR_NO_DEVICE, as libusb reports it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "comm/usb/UsbApi.h"

class CFakeUsbDevice {
 public:
  // `info` carries the strings the device reports (manufacturer, ...).
  explicit CFakeUsbDevice(UsbDeviceInfo info);

  UsbDeviceInfo Info() const;

  // --- test side ---
  void Unplug();
  bool IsPlugged() const;
  void SetOpenError(int error);
  void SetClaimError(int error);
  void SetStringsReadable(bool readable);
  // A kernel driver (usblp) bound to every interface; detachError is what a
  // detach attempt gives (USB_SUCCESS to let it go).
  void SetKernelDriver(bool attached, int detachError = USB_SUCCESS);
  bool IsKernelDriverAttached() const;
  // Bytes the device sends on an IN endpoint.
  void Feed(uint8_t endpoint, const std::vector<uint8_t>& bytes);
  // Bytes the host wrote to an OUT endpoint so far.
  std::vector<uint8_t> Received(uint8_t endpoint) const;
  bool WaitReceived(uint8_t endpoint, size_t count, unsigned timeoutMs) const;
  // While blocked, OUT transfers take nothing and time out (a busy printer).
  void SetOutBlocked(bool blocked);
  // Every bulk/interrupt transfer fails with this error (USB_SUCCESS: none).
  void SetTransferError(int error);
  // While hung, a transfer that starts waits, whatever its time-out, until
  // this is cleared (a libusb call that does not return).
  void SetHung(bool hung);
  void SetPortStatus(uint8_t status);
  // The IEEE 1284 ID text; the reply carries the two-byte length in front.
  void SetDeviceId(const std::string& id);
  int OpenCount() const;
  bool IsClaimed(int iface) const;

  // --- handle side ---
  int Open();
  void Close();
  int KernelDriverActive(int iface);
  int DetachKernelDriver(int iface);
  int AttachKernelDriver(int iface);
  int ClaimInterface(int iface);
  int ReleaseInterface(int iface);
  int SetAltSetting(int iface, int alt);
  int Transfer(uint8_t endpoint, uint8_t* data, int length, int* transferred, unsigned timeoutMs);
  int Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
              uint16_t length);
  bool StringsReadable() const;

 private:
  const UsbEndpointInfo* FindEndpoint(uint8_t endpoint) const;  // under m_lock
  int ReadIn(std::unique_lock<std::mutex>& lock, uint8_t endpoint, uint8_t* data, int length,
             int* transferred, unsigned timeoutMs);
  int WriteOut(std::unique_lock<std::mutex>& lock, uint8_t endpoint, const uint8_t* data,
               int length, int* transferred, unsigned timeoutMs);

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  UsbDeviceInfo m_info;
  bool m_bPlugged = true;
  bool m_bStringsReadable = true;
  int m_nOpenError = USB_SUCCESS;
  int m_nClaimError = USB_SUCCESS;
  bool m_bDriverAttached = false;
  int m_nDetachError = USB_SUCCESS;
  bool m_bOutBlocked = false;
  bool m_bHung = false;
  int m_nTransferError = USB_SUCCESS;
  uint8_t m_byPortStatus = 0x18;  // not error, selected, paper present
  std::string m_strDeviceId;
  int m_nOpenCount = 0;
  std::set<int> m_claimed;
  std::map<uint8_t, std::vector<uint8_t>> m_in;
  std::map<uint8_t, std::vector<uint8_t>> m_out;
};
