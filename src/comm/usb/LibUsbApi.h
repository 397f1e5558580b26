// IUsbApi over the real libusb-1.0 (synchronous API only).
//
// One libusb context per object, made by Init(). The context is shared with
// the handles given out, and libusb_exit runs when the object and every
// handle are gone: a USB worker left running detached may close its handle
// after the object was destroyed, and libusb_close must come before
// libusb_exit. Device
// identity for Open(): bus number and address, looked up again in a fresh
// device list, so no libusb_device reference outlives a call.
#pragma once

#include <memory>

#include "comm/usb/UsbApi.h"

struct libusb_context;
struct libusb_device_handle;

class CLibUsbApi : public IUsbApi {
 public:
  CLibUsbApi() = default;
  ~CLibUsbApi() override = default;
  CLibUsbApi(const CLibUsbApi&) = delete;
  CLibUsbApi& operator=(const CLibUsbApi&) = delete;

  int Init() override;
  int ListDevices(std::vector<UsbDeviceInfo>& out) override;
  int ReadStrings(UsbDeviceInfo& device) override;
  int Open(const UsbDeviceInfo& device, std::unique_ptr<IUsbDeviceHandle>& out) override;
  std::string ErrorText(int error) override;

 private:
  int OpenByAddress(const UsbDeviceInfo& device, libusb_device_handle** handle);

  std::shared_ptr<libusb_context> m_context;
};
