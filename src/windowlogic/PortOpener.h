// CPortOpener: makes the interface chosen in the window ready (Open), and
// closes it when the window closes.
//
// Open(request) compares what the communications library has with what the
// request asks for (Comm_IsConnectionValid), rebuilds the connection only
// when needed, writes one log line for the outcome, hands the connection's
// parameters to the session's engine and starts the missing reader threads. It
// touches neither the window nor its fields: what the window should show
// afterwards comes back in the COpenResult, which the window applies.
//
// Two callers, two threads:
//  - the window's thread: Open (start-up, interface radios, panel changes,
//    every start button) and Reconnect, with the parameters taken from the
//    bound fields at the call;
//  - the Flash thread: Reopen (the firmware download re-opens the USB port
//    after the printer re-attached), with the parameters of the last Open,
//    kept inside the opener. Its result fills in no view changes. Message
//    boxes and log lines are thread-safe.
// One mutex serialises them; the window never opens while a download runs
// (its start buttons and radios are disabled then).
//
// State kept here (process-wide in effect: one window per process): the
// previously opened type (-1 at start), the set-up code (3 serial, 8 USB and
// TCP/IP), and the connection values the library fills in (USM channel,
// real-time channel, completion flag).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/MessageTarget.h"
#include "settings/DialogFields.h"

class CTransferEngine;

// What the last connection offers the panels: the real-time radios, the
// USM label.
struct CConnectionOffer {
  int nUsmChannel = 0;
  int nRealTimeChannel = 0;
  int nCompletion = 0;  // the TCP/IP main-connection flag
};

// The parameters of one open: the selected interface and its panel's fields.
struct COpenRequest {
  int nInterface = -1;
  CSerialFields serial;
  CUsbFields usb;
  CEthernetFields ethernet;
};

// An open's outcome and what the window shows after it (Open and Reconnect
// only; Reopen leaves the view alone). The window applies the parts in the
// order they are declared.
struct COpenResult {
  int bOk = 0;                 // 1 ready, 0 failed
  std::string strMac;          // what the library filled in for TCP/IP
  int bRefreshSerialList = 0;  // the serial panel re-reads its port list
  int bRefreshUsbList = 0;     // the USB panel re-reads its device list
  int bShowFields = 0;         // the fields shown in the controls again
  int bHideUsbLamps = 0;       // the USB panel's ERROR and P OUT lamps
  int nPanel = -1;             // the interface panel to show (-1 none)
  int bSendControls = 0;       // the send controls on, with the flags below
  int bFirmwareFlag = 1;
  int bReceiveFlag = 1;
  int bDisableUsbInfo = 0;  // the USB panel's Info button off
  int nShowUsmButton = -1;  // "Show USM": -1 untouched, 0 hidden, 1 shown
  int nUsmView = -1;        // -1 untouched, else the receive list's USM channel
};

class CPortOpener {
 public:
  // Sleeps of the close and rebuild steps; tests may shorten them.
  struct Timings {
    DWORD dwAfterTypeChangeMs = 200;
    DWORD dwBeforeSerialUpdateMs = 500;
  };
  using PortLister = std::function<std::vector<std::string>()>;

  // owner: where the library reports errors; engine: the session's, given
  // the connection and its readers (it outlives the opener).
  CPortOpener(IMessageTarget* owner, CTransferEngine& engine);

  // The window's open (see the notes above).
  COpenResult Open(const COpenRequest& request);
  // The Flash thread's re-open with the last request; 1 ready, 0 failed.
  int Reopen();
  // The window's close: when connected, stops the readers, breaks the
  // connection down and logs "Close Serial Port" / "Close USB Port" /
  // "Close TCP/IP Port" by `type`, the selected interface. The set-up stays.
  void ClosePort(int type);
  // The operator picked the interface already selected: the connection is
  // broken down (logged as ClosePort does) and made afresh, whatever the
  // library thinks of it.
  COpenResult Reconnect(const COpenRequest& request);

  CConnectionOffer GetOffer() const;
  int GetPreviousType() const;
  void SetTimings(const Timings& timings) { m_timings = timings; }
  // Where the library reports errors; set before the first OpenPort.
  void SetOwner(IMessageTarget* owner) { m_pOwner = owner; }
  // The serial ports in the panel's order (default: the library's list).
  void SetPortLister(PortLister lister) { m_fnListPorts = std::move(lister); }

 private:
  // `out` is null on the Flash thread's path: no view changes are gathered.
  int OpenLocked(COpenResult* out);
  void CloseForTypeChange();
  void CloseLocked(int type);
  int OpenSerial(COpenResult* out);
  int OpenUsb(COpenResult* out);
  int OpenTcp(COpenResult* out);
  int SerialUpdate(const std::string& name);
  // A failed open of interface `type`: its panel shown, the action controls
  // left usable, the USM button and view only for USB and TCP/IP.
  void FailOpen(int type, COpenResult* out);
  void CommonEnd(COpenResult* out);
  void LogTcp(const char* outcome);

  CTransferEngine& m_engine;
  IMessageTarget* m_pOwner;
  PortLister m_fnListPorts;
  Timings m_timings;

  mutable std::mutex m_lock;  // one OpenPort at a time; guards everything below
  COpenRequest m_params;
  int m_nPreviousType = -1;
  int m_nSetupCode = 0;
  int m_bFirmwareFlag = 1;
  int m_bReceiveFlag = 1;
  int m_nUsmChannel = 0;
  int m_nRealTimeChannel = 0;
  int m_nCompletion = 0;
};
