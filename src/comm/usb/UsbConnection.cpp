#include "comm/usb/UsbConnection.h"

#include <cstdio>

#include "comm/PortAccess.h"

namespace {
constexpr uint8_t kClassInterfaceIn = 0xA1;  // class request, to the interface, device to host
constexpr uint8_t kGetDeviceId = 0;
constexpr uint8_t kGetPortStatus = 1;

std::string Describe(IUsbApi& api, int error) {
  return api.ErrorText(error) + " (" + std::to_string(error) + ")";
}

// The device's node under /dev/bus/usb, whose owner, group and holders tell
// the user what keeps them out.
std::string DeviceNode(const UsbDeviceInfo& device) {
  char path[48];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", device.bus, device.address);
  return path;
}

std::string DeniedReason(const UsbDeviceInfo& device) {
  const std::string fix = CPortAccess::PermissionFix(DeviceNode(device));
  return "permission denied; " +
         (fix.empty() ? "the user needs write access to the USB device (udev rule)" : fix);
}

std::string UsblpReason(const USB_PRINTER& printer, const std::string& detail) {
  const std::string node = CPortAccess::UsblpNode(printer.device.portPath,
                                                  printer.device.configValue, printer.iface.number);
  return "the kernel's printer driver usblp holds it" + (node.empty() ? "" : " as " + node) +
         " and could not be detached: " + detail;
}

std::string ClaimedReason(const UsbDeviceInfo& device) {
  const std::string holders = CPortAccess::Holders(DeviceNode(device));
  return holders.empty() ? "the printer is in use by another program"
                         : "the printer is in use by " + holders;
}
}  // namespace

CUsbConnection::CUsbConnection(const USB_PRINTER& printer) : m_printer(printer) {}

CUsbConnection::~CUsbConnection() {
  StopChannels();
  int iface = m_printer.iface.number;
  if (m_bClaimed)
    m_device->ReleaseInterface(iface);
  // Give the printer back to usblp, so that other programs find it as before.
  if (m_bDriverDetached)
    m_device->AttachKernelDriver(iface);
}

std::shared_ptr<CUsbConnection> CUsbConnection::Open(IUsbApi& api, const USB_PRINTER& printer,
                                                     CUsbLink::ErrorHook hook,
                                                     USB_OPEN_ERROR& error) {
  error = USB_OPEN_ERROR{};
  if (!printer.HasOutput()) {
    error = {COMM_ERR_USB_NO_PRINTER_IF, printer.name,
             "the printer interface has no bulk OUT endpoint"};
    return nullptr;
  }
  std::unique_ptr<IUsbDeviceHandle> handle;
  int result = api.Open(printer.device, handle);
  if (result == USB_ERROR_NO_DEVICE) {
    error = {COMM_ERR_NOT_PRESENT, printer.name, "the device has been unplugged"};
    return nullptr;
  }
  if (result == USB_ERROR_ACCESS) {
    error = {COMM_ERR_OPEN_FAILED, printer.name, DeniedReason(printer.device)};
    return nullptr;
  }
  if (result != USB_SUCCESS) {
    error = {COMM_ERR_OPEN_FAILED, printer.name, Describe(api, result)};
    return nullptr;
  }
  std::shared_ptr<CUsbConnection> connection(new CUsbConnection(printer));
  connection->m_device = std::move(handle);
  connection->m_link = std::make_shared<CUsbLink>(std::move(hook));
  if (!connection->Claim(api, error) || !connection->StartChannels(error))
    return nullptr;
  return connection;
}

bool CUsbConnection::Claim(IUsbApi& api, USB_OPEN_ERROR& error) {
  int iface = m_printer.iface.number;
  const std::string& name = m_printer.name;
  // Not supported (no kernel drivers to speak of) counts as "none attached".
  if (m_device->KernelDriverActive(iface) == 1) {
    int result = m_device->DetachKernelDriver(iface);
    if (result != USB_SUCCESS && result != USB_ERROR_NOT_FOUND) {
      error = {COMM_ERR_USB_BUSY, name, UsblpReason(m_printer, Describe(api, result))};
      return false;
    }
    m_bDriverDetached = result == USB_SUCCESS;
  }
  int result = m_device->ClaimInterface(iface);
  if (result == USB_ERROR_BUSY || result == USB_ERROR_ACCESS) {
    error = {COMM_ERR_USB_BUSY, name, ClaimedReason(m_printer.device)};
    return false;
  }
  if (result == USB_ERROR_NO_DEVICE) {
    error = {COMM_ERR_NOT_PRESENT, name, "the device has been unplugged"};
    return false;
  }
  if (result != USB_SUCCESS) {
    error = {COMM_ERR_OPEN_FAILED, name, "claiming the interface failed: " + Describe(api, result)};
    return false;
  }
  m_bClaimed = true;
  if (m_printer.iface.altSetting != 0) {
    result = m_device->SetAltSetting(iface, m_printer.iface.altSetting);
    if (result != USB_SUCCESS) {
      error = {COMM_ERR_OPEN_FAILED, name,
               "selecting the printer setting failed: " + Describe(api, result)};
      return false;
    }
  }
  return true;
}

bool CUsbConnection::StartChannels(USB_OPEN_ERROR& error) {
  m_out = std::make_unique<CUsbChannel>(m_device, m_printer.out, m_link, "USB Out");
  m_rtOut = std::make_unique<CUsbChannel>(m_device, m_printer.rtOut, m_link, "USB Out RT");
  m_rx = std::make_unique<CUsbChannel>(m_device, m_printer.in, m_link, "USB In");
  m_usm = std::make_unique<CUsbChannel>(m_device, m_printer.usmIn, m_link, "USB In USM");
  if (m_out->Start() && m_rtOut->Start() && m_rx->Start() && m_usm->Start())
    return true;
  error = {COMM_ERR_OPEN_FAILED, m_printer.name, "no I/O thread could be started"};
  return false;
}

void CUsbConnection::StopChannels() {
  for (CUsbChannel* channel : {m_out.get(), m_rtOut.get(), m_rx.get(), m_usm.get()}) {
    if (channel != nullptr)
      channel->Stop();
  }
}

CUsbChannel& CUsbConnection::Tx(int outputPort) {
  return (outputPort == 1 && m_printer.HasRealTime()) ? *m_rtOut : *m_out;
}

int CUsbConnection::Control(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                            uint16_t length) {
  int result =
      m_device->Control(kClassInterfaceIn, request, value, index, data, length, kControlTimeoutMs);
  if (result >= 0) {
    m_link->Touch();
  } else if (result == USB_ERROR_NO_DEVICE) {
    m_link->MarkGone();
  }
  return result;
}

int CUsbConnection::ReadPortStatus(uint8_t& status) {
  uint8_t byte = 0;
  int result = Control(kGetPortStatus, 0, m_printer.iface.number, &byte, 1);
  if (result < 0)
    return result;
  if (result < 1)
    return USB_ERROR_IO;
  status = byte;
  return USB_SUCCESS;
}

std::string CUsbConnection::ReadDeviceId() {
  uint8_t data[kDeviceIdMax] = {};
  uint16_t index =
      static_cast<uint16_t>((m_printer.iface.number << 8) | m_printer.iface.altSetting);
  int result = Control(kGetDeviceId, m_printer.device.configIndex, index, data, kDeviceIdMax);
  if (result < 0)
    return {};
  return ParseUsbDeviceId(data, result);
}
