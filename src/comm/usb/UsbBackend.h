// The USB side of the communications library: printer-class devices through
// libusb (behind IUsbApi), one open printer at a time.
//
// Values it fills in and relies on:
//  - device index: position in the printer list (bus order, at most 50);
//  - output port: 0 the "Norm/RT" endpoint, 1 the real-time endpoint (the
//    normal one when the printer has none);
//  - USM channel 1 when the printer has an IN endpoint besides the data IN
//    endpoint; real-time channel 1 when it has a second bulk OUT endpoint.
//  - Line status: USB_STATUS_ERROR (0x1) and USB_STATUS_PAPER_OUT (0x2) from
//    GET_PORT_STATUS, read synchronously (at most kControlTimeoutMs) and
//    reused for kStatusCacheMs, so a busy reader does not flood the bus.
// Channels are named by the library's COMM_CHANNEL_* numbers; the handles
// and the overlapped records belong to the library (CCommLibrary), which
// hands the caller's record in with each request.
//
// Errors reach the owner through two hooks: `show` with (comm-error code,
// text 1, text 2), codes of UsbConnection.h, for failures the operator must
// see (a connection that cannot be made, a transfer that failed for good);
// `log` with a system error code for what belongs in the log only (the open
// printer unplugged: 1167, which also happens on purpose when a printer
// restarts into its download mode). Both may be called from any thread.
//
// Reports of channel workers: a worker that did not stop within its wait is
// left running detached (CUsbChannel) and may report a failure after this
// object is gone. It reports through CUsbReporter, shared with the
// workers' links; the destructor switches it off (waiting for a report in
// progress), so a late report is dropped instead of calling into freed memory.
//
// Thread safety: every member may be called from any thread. The connection
// is shared: a caller that is using it keeps it alive while another thread
// replaces it, so no call waits for another's transfer. Nothing here blocks
// longer than one control transfer, one channel stop (bounded, see
// CUsbChannel) or one bus listing.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "comm/usb/UsbApi.h"
#include "comm/usb/UsbConnection.h"
#include "platform/Overlapped.h"

class CUsbReporter;

class CUsbBackend {
 public:
  struct Hooks {
    std::function<void(int code, const std::string& text1, const std::string& text2)> show;
    std::function<void(DWORD systemError)> log;
  };

  // Powers of two; comm <= download <= 32768. A comm packet is a whole number
  // of high-speed (512) and full-speed (64) bulk packets.
  static constexpr unsigned kCommPacketSize = 4096;
  static constexpr unsigned kStringPacketSize = 256;
  static constexpr unsigned kDownloadPacketSize = 16384;
  // One reader wait: also how often the data reader polls the printer status.
  static constexpr DWORD kReadTimeoutMs = 200;
  static constexpr DWORD kStatusCacheMs = 100;
  // IsDevicePresent asks the printer itself when nothing was heard from it
  // for this long (an idle printer with no read pending).
  static constexpr DWORD kPresenceProbeMs = 1000;

  CUsbBackend(std::unique_ptr<IUsbApi> api, Hooks hooks);
  ~CUsbBackend();
  CUsbBackend(const CUsbBackend&) = delete;
  CUsbBackend& operator=(const CUsbBackend&) = delete;

  // Makes libusb ready; 0 with comm error 12 when it cannot be.
  int Setup();
  // Breaks the connection and ends the set-up.
  void Cleanup();

  // Fills the table with the printers' names (at most 50, and at most
  // `capacity`) and count; the channel flags of the open printer (0 when none
  // is open). 0 when the bus cannot be listed (the table is then untouched).
  int GetPortParams(int& usmChannel, int& rtChannel, int& count, char (*table)[128],
                    int capacity = static_cast<int>(USB_MAX_PRINTERS));
  // Whether the open printer has a USM endpoint.
  bool HasUsm() const;
  // Connects to the printer at `index`. An open connection to the same,
  // still present printer is kept (only the output port is switched), so
  // running readers are not disturbed; otherwise the old one is broken down
  // first (its pending requests complete with 995). `readersStopped` only
  // says whether the caller stopped its readers; it changes nothing here.
  int UpdateConnection(int readersStopped, DWORD index, int outputPort, int& usmChannel,
                       int& rtChannel);
  // 0 when the open printer is `index`, present and on `outputPort`; 1
  // otherwise, including when none is open (the USB open path reconnects
  // only on 1).
  unsigned IsConnectionValid(DWORD index, int outputPort);
  int BreakDown();
  int IsOpened() const;
  int IsConnected() const;

  // On the output channel (by the output port).
  BOOL Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov);
  // channel: COMM_CHANNEL_RX or COMM_CHANNEL_RX_USM (else ERROR_INVALID_HANDLE).
  BOOL Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov);

  // 1 with the port status byte in buffer[0] (*outLength 1); 0 when no
  // printer is open or it does not answer. Never pending: `ov` is not used.
  int InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength, OVERLAPPED& ov);
  // 1 with the line-status bits of the status byte in the buffer; with an
  // empty buffer the printer is asked afresh.
  int GetDeviceStatus(const void* buffer, DWORD length, DWORD& status);
  int IsDevicePresent();
  // Fills `buffer` (capacity bytes, zero-terminated) with the properties text.
  void ShowPortProperties(char* buffer, size_t capacity);

 private:
  std::shared_ptr<CUsbConnection> Current() const;
  CUsbChannel* ReadChannel(CUsbConnection& connection, int channel);
  int PollStatus(CUsbConnection& connection, uint8_t& status);
  CUsbLink::ErrorHook LinkHook(const std::string& name);
  void Report(int code, const std::string& text1, const std::string& text2);

  std::unique_ptr<IUsbApi> m_api;
  std::shared_ptr<CUsbReporter> m_reporter;

  mutable std::mutex m_lock;  // guards the members below
  bool m_bSetUp = false;
  std::shared_ptr<CUsbConnection> m_connection;
  DWORD m_nIndex = 0;
  int m_nOutputPort = 0;
  uint8_t m_byStatus = 0;
  uint64_t m_nStatusAtMs = 0;  // 0: no status read yet
  std::mutex m_apiLock;        // one bus operation (listing, opening) at a time
};
