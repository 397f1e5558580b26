// CSerialPanel: the deciding logic of the RS232 panel, without Qt. It holds
// no state of its own beyond the bound fields (CSerialFields): it fills the
// port list in numeric order, reopens the port when the operator picks
// another port or flow control (only while Serial is selected), turns the
// line-status word into the five lamps and answers tooltip requests.
//
// The panel's controls are reached through IDialogView (enable, text, data
// exchange) and IListControls (the port list's entries); lamps through the
// window's SetLed with dialog 0.
//
// Threading: window thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ControlIds.h"
#include "platform/Win32Types.h"
#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IListControls.h"
#include "windowlogic/PanelHooks.h"

class CSerialPanel {
 public:
  // Control numbers of the lists and lamps.
  enum : int {
    IDC_PORT = kIdcSerialPort,
    IDC_BAUD = kIdcSerialBaud,
    IDC_PARITY = kIdcSerialParity,
    IDC_DATABITS = kIdcSerialDataBits,
    IDC_STOPBITS = kIdcSerialStopBits,
    IDC_FLOW = kIdcSerialFlow,
    IDC_LED_DSR = kIdcSerialLampDsr,
    IDC_LED_CTS = kIdcSerialLampCts,
    IDC_LED_RING = kIdcSerialLampRing,
    IDC_LED_DCD = kIdcSerialLampDcd,
    IDC_LED_XONXOFF = kIdcSerialLampXonXoff,
    IDC_LABEL_XONXOFF = kIdcSerialLabelXonXoff,
  };
  static constexpr int kFlowXonXoff = 4;

  // The port table of the library: 1 with the names, 0 when enumeration
  // failed. Default: Comm_GetPortParams with the prefix "COM".
  using PortLister = std::function<int(std::vector<std::string>& names)>;

  CSerialPanel(CSerialFields& fields, IDialogView& view, IListControls& lists,
               const CPanelHooks& hooks);

  void SetPortLister(PortLister lister) { m_fnListPorts = std::move(lister); }

  // The built-in entries of a list (kIdcSerialBaud, kIdcSerialParity, kIdcSerialDataBits,
  // kIdcSerialStopBits, kIdcSerialFlow, and kIdcSerialPort with COM1..COM10 until the first
  // refresh), in list order; empty for other IDs.
  static std::vector<std::string> ListTexts(int id);
  // What the open line logs for a flow-control index ("None", "DSR/CTS",
  // "DSR", "CTS", "XON/XOFF"); empty outside the list.
  static std::string FlowLogText(int index);

  // The numeric order of the port list: duplicates dropped (letter case
  // ignored), each name inserted before the first listed one whose number is
  // larger (equal numbers keep table order). A name's number is the integer
  // after "COM" (COM12 is 12), else its trailing digits (/dev/ttyUSB3 is 3);
  // a name without one sorts last.
  static std::vector<std::string> OrderPorts(const std::vector<std::string>& table);
  static long PortNumber(const std::string& name);

  // The list drops down, or the port opening asks: only while Serial is
  // selected; a failed enumeration changes nothing. When the chosen port is
  // no longer listed, its lamps go dark.
  void RefreshPortList();
  // A new choice in a list: kIdcSerialPort and kIdcSerialFlow read the controls, darken the
  // lamps (they showed the lines of the port as it was) and, while Serial
  // is selected, reopen the port; the others do nothing.
  void OnSelChange(int id);
  // Hides the five lamps until the next status word.
  void DarkenLamps();
  // The line-status word: DSR 0x20, CTS 0x10, RING 0x40, DCD 0x80 green when
  // set, red when clear; XON / XOFF by 0x100 only with flow control 4, else
  // hidden.
  void ApplyLineStatus(DWORD status);
  // Enter and Escape are consumed (1) and do nothing; other keys 0.
  int PreTranslateKey(int key);

 private:
  // The name listed at index; empty when there is none.
  std::string PortAt(int index);

  CSerialFields& m_fields;
  IDialogView& m_view;
  IListControls& m_lists;
  const CPanelHooks& m_hooks;
  PortLister m_fnListPorts;
};
