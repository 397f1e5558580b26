#include "comm/usb/UsbLink.h"

#include <chrono>

#include "comm/usb/UsbApi.h"

CUsbLink::CUsbLink(ErrorHook hook) : m_hook(std::move(hook)), m_nLastContactMs(NowMs()) {}

uint64_t CUsbLink::NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CUsbLink::Touch() {
  m_nLastContactMs.store(NowMs());
}

uint64_t CUsbLink::MsSinceContact() const {
  return NowMs() - m_nLastContactMs.load();
}

void CUsbLink::MarkGone() {
  if (m_bGone.exchange(true))
    return;
  ReportError(USB_ERROR_NO_DEVICE);
}

void CUsbLink::ReportError(int usbError) {
  if (m_hook)
    m_hook(usbError);
}
