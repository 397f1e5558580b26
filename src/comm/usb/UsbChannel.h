// One overlapped channel of an open USB printer: one endpoint, served by one
// worker thread that runs synchronous libusb transfers in short slices.
//
// Contract of Submit (the library's overlapped read/write):
//  - It never waits for the device. It completes at once (TRUE, count in
//    *done, the record completed as well) when it can: a read that finds
//    bytes left over from an earlier transfer, or a zero-length request.
//    Otherwise it queues the request, begins the record and returns FALSE
//    with last error 997; the worker later completes the record
//    (CompleteOverlapped) with the count and status 0, 995 when cancelled,
//    1167 when the device was unplugged, or 1117 when transfers kept failing.
//  - A read completes as soon as some bytes arrive (up to the length asked
//    for); bytes beyond it are kept for the next read, never dropped. A write
//    completes when every byte has gone out; a printer that does not take
//    bytes keeps it pending (until cancelled).
//  - A request submitted while another is still pending on the channel
//    completes the older one with 995 first: its caller has abandoned it (the
//    write engine leaves an aborted write behind) and the record is reused.
//    A write slice already handed to the bus cannot be called back: it may
//    still go out (before the new request's bytes, never among them), and
//    the count of a cancelled write does not include it.
//  - After the device has gone, Submit fails at once with 1167.
//  - Stop() completes a pending request with 995 and ends the worker, waiting
//    at most about one transfer slice (bounded by kStopWaitMs).
// A channel without an endpoint (address 0: the printer has no such
// endpoint) accepts requests and keeps them pending until Stop().
//
// Thread safety: Submit, IsPending and Stop may be called from any thread;
// one submitter at a time per channel (the engine's rule). The caller's read
// buffer must stay valid until the record completes; write data is copied.
#pragma once

#include <memory>
#include <string>

#include "comm/usb/UsbApi.h"
#include "comm/usb/UsbLink.h"
#include "platform/Overlapped.h"
#include "platform/Thread.h"

class CUsbChannel {
 public:
  // Longest single libusb transfer; also the worst delay before a cancel or
  // an unplug is noticed by a pending request.
  static constexpr unsigned kSliceMs = 100;
  static constexpr DWORD kStopWaitMs = 2000;
  // Consecutive failed transfers (other than time-outs) before a request
  // completes with an error.
  static constexpr int kMaxFailures = 3;

  CUsbChannel(std::shared_ptr<IUsbDeviceHandle> device, const UsbEndpointInfo& endpoint,
              std::shared_ptr<CUsbLink> link, std::string name);
  ~CUsbChannel();
  CUsbChannel(const CUsbChannel&) = delete;
  CUsbChannel& operator=(const CUsbChannel&) = delete;

  // Starts the worker; false when the thread could not be made.
  bool Start();
  void Stop();

  BOOL Submit(void* buffer, DWORD length, DWORD* done, OVERLAPPED* ov);
  bool IsPending() const;
  const UsbEndpointInfo& Endpoint() const { return m_endpoint; }

 private:
  struct State;
  static DWORD Run(const std::shared_ptr<State>& state);

  UsbEndpointInfo m_endpoint;
  std::string m_strName;
  std::shared_ptr<State> m_state;
  std::unique_ptr<CThread> m_thread;
};
