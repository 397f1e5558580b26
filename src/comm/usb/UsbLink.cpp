#include "comm/usb/UsbLink.h"

#include "comm/usb/UsbApi.h"
#include "platform/Clock.h"

CUsbLink::CUsbLink(ErrorHook hook) : m_hook(std::move(hook)), m_nLastContactMs(NowMs()) {}

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
