// CPortOpener: makes the interface chosen in the window ready (OpenPort),
// and closes it when the window closes.
//
// OpenPort(updateControls) compares what the communications library has with
// what the panels ask for (Comm_IsConnectionValid), rebuilds the connection
// only when needed, writes one log line for the outcome, hands the
// connection's parameters to g_TransferEngine, switches the window's send
// controls (flag 1 only) and starts the missing reader threads.
//
// Two callers, two threads:
//  - the window's thread, with flag 1 (start-up, interface radios, panel
//    changes, every start button). The parameters are taken from the bound
//    fields at the call, and what the library fills in (the print server's
//    MAC text) is written back to them.
//  - the Flash thread, with flag 0 (the firmware download re-opens the USB
//    port after the printer re-attached). This path never calls IPortHost
//    and never reads or writes the fields: it uses the parameters of the
//    last flag-1 call, kept inside the opener, and keeps what the library
//    fills in there too. Message boxes and log lines are thread-safe.
// One mutex serialises the two; the window never calls OpenPort while a
// download runs (its start buttons and radios are disabled then).
//
// State kept here (process-wide in effect: one window per process): the
// previously opened type (-1 at start), the set-up code (3 serial, 8 USB and
// TCP/IP), the firmware and receive flags, and the connection values the
// library fills in (USM channel, real-time channel, completion flag).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/MessageTarget.h"
#include "settings/DialogFields.h"
#include "windowlogic/IPortHost.h"

class CPortOpener {
 public:
  // Sleeps of the close and rebuild steps; tests may shorten them.
  struct Timings {
    DWORD dwAfterTypeChangeMs = 200;
    DWORD dwBeforeSerialUpdateMs = 500;
  };
  using PortLister = std::function<std::vector<std::string>()>;

  // fields: the window's bound fields (read and written on flag 1 only);
  // host: the window (flag 1 only); owner: where the library reports errors.
  CPortOpener(CDialogFields& fields, IPortHost& host, IMessageTarget* owner);

  // 1 ready, 0 failed. See the notes above for the flag.
  int OpenPort(int updateControls);
  // The window's close: when connected, stops the readers, breaks the
  // connection down and logs "Close Serial Port" / "Close USB Port" /
  // "Close TCP/IP Port" by the selected interface. The set-up stays.
  void ClosePort();
  // The operator picked the interface already selected: the connection is
  // broken down (logged as ClosePort does) and made afresh with flag 1,
  // whatever the library thinks of it. 1 ready, 0 failed.
  int Reconnect();

  int GetUsmChannel() const;
  int GetRealTimeChannel() const;
  int GetCompletion() const;  // the TCP/IP main-connection flag of the last open
  int GetPreviousType() const;
  void SetTimings(const Timings& timings) { m_timings = timings; }
  // Where the library reports errors; set before the first OpenPort.
  void SetOwner(IMessageTarget* owner) { m_pOwner = owner; }
  // The serial ports in the panel's order (default: the library's list).
  void SetPortLister(PortLister lister) { m_fnListPorts = std::move(lister); }

 private:
  struct Params {
    int nInterface = -1;
    CSerialFields serial;
    CUsbFields usb;
    CEthernetFields ethernet;
  };
  int OpenLocked(int update);
  void CloseForTypeChange();
  void CloseLocked(int type);
  int OpenSerial(int update);
  int OpenUsb(int update);
  int OpenTcp(int update);
  int SerialUpdate(const std::string& name);
  // A failed open of interface `type` (with update): its panel shown, the
  // action controls off, the USM button and view only for USB and TCP/IP.
  void FailOpen(int type, int update);
  void CommonEnd(int update);
  void LogTcp(const char* outcome);

  CDialogFields& m_fields;
  IPortHost& m_host;
  IMessageTarget* m_pOwner;
  PortLister m_fnListPorts;
  Timings m_timings;

  mutable std::mutex m_lock;  // one OpenPort at a time; guards everything below
  Params m_params;
  int m_nPreviousType = -1;
  int m_nSetupCode = 0;
  int m_bFirmwareFlag = 1;
  int m_bReceiveFlag = 1;
  int m_nUsmChannel = 0;
  int m_nRealTimeChannel = 0;
  int m_nCompletion = 0;
};
