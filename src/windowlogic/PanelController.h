// CPanelController: the three interface panels' logic in one place, so the
// window layer has one object to hand the panels' events to: commands by
// panel and control ID, Enter with the focused control, a list dropping
// down and line-status words.
//
// Panels: 0 serial, 1 USB, 2 TCP/IP. Each panel is an IDialogView; the
// serial and USB panels are also IListControls (their drop-down lists).
//
// Threading: window thread only.
#pragma once

#include <string>

#include "settings/DialogFields.h"
#include "windowlogic/EthernetPanel.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IListControls.h"
#include "windowlogic/PanelHooks.h"
#include "windowlogic/SerialPanel.h"
#include "windowlogic/UsbPanel.h"

class CPanelController {
 public:
  struct Views {
    IDialogView* serial;
    IListControls* serialLists;
    IDialogView* usb;
    IListControls* usbLists;
    IDialogView* ethernet;
  };

  // fields, views and hooks must outlive the controller.
  CPanelController(CDialogFields& fields, const Views& views, CPanelHooks hooks);

  // A click on a button, radio or check box, a new choice in a list, a
  // text edited by the operator in an edit of panel `panel`.
  void OnPanelCommand(int panel, int id);
  // Enter (VK 0x0D) or Escape (0x1B) on a panel: 1, both consumed.
  int OnPanelKey(int panel, int vk);
  // A panel's list drops down: the serial port list or the USB device list
  // is refreshed (each only while its interface is selected).
  void OnDropDown(int panel, int id);
  // The line-status word, applied by the selected interface (nothing for
  // TCP/IP).
  void OnLineStatus(DWORD status);
  CSerialPanel& Serial() { return m_serial; }
  CUsbPanel& Usb() { return m_usb; }
  CEthernetPanel& Ethernet() { return m_ethernet; }

 private:
  CPanelHooks m_hooks;
  Views m_views;
  CSerialPanel m_serial;
  CUsbPanel m_usb;
  CEthernetPanel m_ethernet;
};
