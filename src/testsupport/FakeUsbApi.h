// IUsbApi over simulated devices (CFakeUsbDevice), for tests.
//
// Devices are listed in the order they were added; unplugged ones vanish
// from the list. Handles keep their device alive and report
// USB_ERROR_NO_DEVICE once it is unplugged.
// Thread safety: AddDevice and the IUsbApi calls may come from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "comm/usb/UsbApi.h"
#include "testsupport/FakeUsbDevice.h"

class CFakeUsbApi : public IUsbApi {
 public:
  std::shared_ptr<CFakeUsbDevice> AddDevice(const UsbDeviceInfo& info);
  void SetInitError(int error) { m_nInitError = error; }
  void SetListError(int error) { m_nListError = error; }

  int Init() override { return m_nInitError; }
  int ListDevices(std::vector<UsbDeviceInfo>& out) override;
  int ReadStrings(UsbDeviceInfo& device) override;
  int Open(const UsbDeviceInfo& device, std::unique_ptr<IUsbDeviceHandle>& out) override;
  std::string ErrorText(int error) override;

  // A printer-class device: interface 0 (class 7, protocol 2) with the given
  // endpoints, at bus 1 and the given address.
  static UsbDeviceInfo PrinterInfo(uint8_t address, const std::string& manufacturer,
                                   const std::string& product,
                                   std::vector<UsbEndpointInfo> endpoints);

 private:
  std::shared_ptr<CFakeUsbDevice> Find(const UsbDeviceInfo& device);

  std::mutex m_lock;
  std::vector<std::shared_ptr<CFakeUsbDevice>> m_devices;
  int m_nInitError = USB_SUCCESS;
  int m_nListError = USB_SUCCESS;
};
