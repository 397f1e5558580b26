#include "comm/usb/UsbBackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "comm/CommBackend.h"
#include "comm/usb/UsbPropertiesText.h"
#include "platform/Clock.h"
#include "platform/LastError.h"

// The hooks and the error texts, as the workers' links reach them. Shared
// with the links, so a detached worker finds it even after the backend went;
// Close() (the backend's end) makes every later call do nothing.
class CUsbReporter {
 public:
  CUsbReporter(CUsbBackend::Hooks hooks, IUsbApi* api) : m_hooks(std::move(hooks)), m_pApi(api) {}

  void Show(int code, const std::string& text1, const std::string& text2) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_hooks.show)
      m_hooks.show(code, text1, text2);
  }
  void ShowUsbError(int code, const std::string& text1, int usbError) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_hooks.show && m_pApi != nullptr)
      m_hooks.show(code, text1, m_pApi->ErrorText(usbError));
  }
  void Log(DWORD systemError) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_hooks.log)
      m_hooks.log(systemError);
  }
  // Waits for a report in progress; none follows.
  void Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_hooks = {};
    m_pApi = nullptr;
  }

 private:
  std::mutex m_lock;  // held while a hook runs
  CUsbBackend::Hooks m_hooks;
  IUsbApi* m_pApi;
};

CUsbBackend::CUsbBackend(std::unique_ptr<IUsbApi> api, Hooks hooks)
    : m_api(std::move(api)),
      m_reporter(std::make_shared<CUsbReporter>(std::move(hooks), m_api.get())) {}

CUsbBackend::~CUsbBackend() {
  Cleanup();
  m_reporter->Close();
}

void CUsbBackend::Report(int code, const std::string& text1, const std::string& text2) {
  m_reporter->Show(code, text1, text2);
}

int CUsbBackend::Setup() {
  std::lock_guard<std::mutex> api(m_apiLock);
  int result = m_api->Init();
  if (result != USB_SUCCESS) {
    Report(COMM_ERR_USB_UNAVAILABLE, "libusb", m_api->ErrorText(result));
    return 0;
  }
  std::lock_guard<std::mutex> guard(m_lock);
  m_bSetUp = true;
  return 1;
}

void CUsbBackend::Cleanup() {
  BreakDown();
  std::lock_guard<std::mutex> guard(m_lock);
  m_bSetUp = false;
}

int CUsbBackend::IsOpened() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_bSetUp ? 1 : 0;
}

int CUsbBackend::IsConnected() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_connection != nullptr ? 1 : 0;
}

std::shared_ptr<CUsbConnection> CUsbBackend::Current() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_connection;
}

bool CUsbBackend::HasUsm() const {
  std::shared_ptr<CUsbConnection> connection = Current();
  return connection != nullptr && connection->Printer().HasUsm();
}

int CUsbBackend::GetPortParams(int& usmChannel, int& rtChannel, int& count, char (*table)[128],
                               int capacity) {
  std::vector<USB_PRINTER> printers;
  {
    std::lock_guard<std::mutex> api(m_apiLock);
    if (!IsOpened() || ListUsbPrinters(*m_api, printers) != USB_SUCCESS)
      return 0;
  }
  count = 0;
  for (const USB_PRINTER& printer : printers) {
    if (count >= capacity)
      break;
    std::snprintf(table[count], 128, "%s", printer.name.c_str());
    ++count;
  }
  std::shared_ptr<CUsbConnection> connection = Current();
  usmChannel = connection != nullptr && connection->Printer().HasUsm() ? 1 : 0;
  rtChannel = connection != nullptr && connection->Printer().HasRealTime() ? 1 : 0;
  return 1;
}

CUsbLink::ErrorHook CUsbBackend::LinkHook(const std::string& name) {
  // A transfer failure is shown once per connection; the rest go to the log.
  // The hook may outlive this object (a detached worker): it holds only the
  // shared reporter.
  auto shown = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<CUsbReporter> reporter = m_reporter;
  return [reporter, name, shown](int usbError) {
    if (usbError == USB_ERROR_NO_DEVICE) {
      reporter->Log(ERROR_DEVICE_NOT_CONNECTED);
    } else if (!shown->exchange(true)) {
      reporter->ShowUsbError(COMM_ERR_USB_TRANSFER, name, usbError);
    } else {
      reporter->Log(ERROR_IO_DEVICE);
    }
  };
}

unsigned CUsbBackend::IsConnectionValid(DWORD index, int outputPort) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_connection == nullptr || m_connection->Link().IsGone())
    return 1;
  if (m_nIndex != index || m_nOutputPort != outputPort)
    return 1;
  return 0;
}

int CUsbBackend::UpdateConnection(int /*readersStopped*/, DWORD index, int outputPort,
                                  int& usmChannel, int& rtChannel) {
  std::unique_lock<std::mutex> api(m_apiLock);
  std::vector<USB_PRINTER> printers;
  int result = IsOpened() ? ListUsbPrinters(*m_api, printers) : USB_ERROR_OTHER;
  if (result != USB_SUCCESS) {
    Report(COMM_ERR_OPEN_FAILED, "USB", m_api->ErrorText(result));
    return 0;
  }
  if (printers.empty()) {
    BreakDown();
    Report(COMM_ERR_NOT_PRESENT, "USB", "no USB printer is connected");
    return 0;
  }
  if (index >= printers.size()) {
    BreakDown();
    Report(COMM_ERR_INVALID_INDEX, std::to_string(index),
           std::to_string(printers.size()) + " USB printer(s) found");
    return 0;
  }
  const USB_PRINTER& wanted = printers[index];
  std::shared_ptr<CUsbConnection> current = Current();
  bool same = current != nullptr && !current->Link().IsGone() &&
              current->Printer().device.bus == wanted.device.bus &&
              current->Printer().device.address == wanted.device.address;
  if (!same) {
    BreakDown();
    current.reset();
    USB_OPEN_ERROR error;
    current = CUsbConnection::Open(*m_api, wanted, LinkHook(wanted.name), error);
    if (current == nullptr) {
      Report(error.code, error.text1, error.text2);
      return 0;
    }
  }
  std::lock_guard<std::mutex> guard(m_lock);
  if (!same) {
    m_connection = current;
    m_nStatusAtMs = 0;
  }
  // The same printer may have moved in the list (another one was plugged in).
  m_nIndex = index;
  m_nOutputPort = outputPort;
  usmChannel = current->Printer().HasUsm() ? 1 : 0;
  rtChannel = current->Printer().HasRealTime() ? 1 : 0;
  return 1;
}

int CUsbBackend::BreakDown() {
  std::shared_ptr<CUsbConnection> connection;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    connection.swap(m_connection);
  }
  if (connection == nullptr)
    return 1;
  // Pending requests complete with 995 now; the device is closed when the
  // last user lets go of the connection (normally right here).
  connection->StopChannels();
  return 1;
}

CUsbChannel* CUsbBackend::ReadChannel(CUsbConnection& connection, int channel) {
  if (channel == COMM_CHANNEL_RX)
    return &connection.Rx();
  if (channel == COMM_CHANNEL_RX_USM)
    return &connection.Usm();
  return nullptr;
}

BOOL CUsbBackend::Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) {
  std::shared_ptr<CUsbConnection> connection = Current();
  if (connection == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  CUsbChannel* channel;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    channel = &connection->Tx(m_nOutputPort);
  }
  return channel->Submit(const_cast<void*>(buffer), length, written, ov);
}

BOOL CUsbBackend::Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) {
  std::shared_ptr<CUsbConnection> connection = Current();
  CUsbChannel* endpoint = connection != nullptr ? ReadChannel(*connection, channel) : nullptr;
  if (endpoint == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return endpoint->Submit(buffer, length, read, ov);
}

int CUsbBackend::PollStatus(CUsbConnection& connection, uint8_t& status) {
  uint64_t now = NowMs();
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_nStatusAtMs != 0 && now - m_nStatusAtMs < kStatusCacheMs) {
      status = m_byStatus;
      return USB_SUCCESS;
    }
  }
  int result = connection.ReadPortStatus(status);
  if (result != USB_SUCCESS)
    return result;
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_connection.get() == &connection) {
    m_byStatus = status;
    m_nStatusAtMs = now;
  }
  return USB_SUCCESS;
}

int CUsbBackend::InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength,
                                     OVERLAPPED& /*ov*/) {
  std::shared_ptr<CUsbConnection> connection = Current();
  if (connection == nullptr || buffer == nullptr || length < 1)
    return 0;
  uint8_t status = 0;
  if (PollStatus(*connection, status) != USB_SUCCESS)
    return 0;
  static_cast<uint8_t*>(buffer)[0] = status;
  if (outLength != nullptr)
    *outLength = 1;
  return 1;
}

int CUsbBackend::GetDeviceStatus(const void* buffer, DWORD length, DWORD& status) {
  uint8_t byte = 0;
  if (buffer != nullptr && length >= 1) {
    byte = static_cast<const uint8_t*>(buffer)[0];
  } else {
    std::shared_ptr<CUsbConnection> connection = Current();
    if (connection == nullptr || PollStatus(*connection, byte) != USB_SUCCESS)
      return 0;
  }
  status = UsbPortStatusToLineStatus(byte);
  return 1;
}

int CUsbBackend::IsDevicePresent() {
  std::shared_ptr<CUsbConnection> connection = Current();
  if (connection == nullptr)
    return 0;
  CUsbLink& link = connection->Link();
  if (!link.IsGone() && link.MsSinceContact() >= kPresenceProbeMs) {
    uint8_t status = 0;
    connection->ReadPortStatus(status);  // marks the link gone when unplugged
  }
  return link.IsGone() ? 0 : 1;
}

void CUsbBackend::ShowPortProperties(char* buffer, size_t capacity) {
  if (buffer == nullptr || capacity == 0)
    return;
  USB_PROPERTIES props;
  std::shared_ptr<CUsbConnection> connection = Current();
  std::vector<USB_PRINTER> printers;
  if (connection != nullptr) {
    props.printer = &connection->Printer();
    props.driverDetached = connection->DriverDetached();
    props.present = IsDevicePresent() == 1;
    uint8_t status = 0;
    if (props.present && connection->ReadPortStatus(status) == USB_SUCCESS) {
      props.portStatus = status;
    }
    if (props.present)
      props.deviceId = connection->ReadDeviceId();
    std::lock_guard<std::mutex> guard(m_lock);
    props.outputPort = m_nOutputPort;
  } else {
    std::lock_guard<std::mutex> api(m_apiLock);
    if (IsOpened() && ListUsbPrinters(*m_api, printers) == USB_SUCCESS) {
      for (const USB_PRINTER& printer : printers)
        props.available.push_back(printer.name);
    }
  }
  std::string text = FormatUsbProperties(props);
  size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}
