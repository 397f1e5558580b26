// What the channels of one open USB device share with the backend: whether
// the device is still there, when it last answered, and where transfer
// failures are reported.
//
// Thread safety: every member may be called from any thread; the error hook
// is set before the channels start and not changed while they run.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

class CUsbLink {
 public:
  // Called with a USB error number: USB_ERROR_NO_DEVICE when the device has
  // gone, another error when a transfer failed for good.
  using ErrorHook = std::function<void(int usbError)>;

  explicit CUsbLink(ErrorHook hook = nullptr);

  // The device answered (a transfer moved bytes or was merely not answered
  // in time, which shows the device is still on the bus).
  void Touch();
  uint64_t MsSinceContact() const;
  // Marks the device unplugged (once; later calls do nothing) and reports it.
  void MarkGone();
  bool IsGone() const { return m_bGone.load(); }
  void ReportError(int usbError);

 private:
  ErrorHook m_hook;
  std::atomic<bool> m_bGone{false};
  std::atomic<uint64_t> m_nLastContactMs;
};
