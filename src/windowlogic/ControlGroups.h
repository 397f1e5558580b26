// CControlGroups: the rules that switch the main window's controls on and
// off together (the file, repeat, firmware, receive, file-start, string and
// interface groups), and which interface panel shows with what the
// connection offers (the USB real-time radio, the TCP/IP port radios and
// USM label).
//
// The firmware group restores only what it switched off
// (CFirmwareGroupState); the string group gives the focus back to the data
// string box when it had it.
//
// Threading: the window's thread only. The connection offer is read from the
// port opener, which locks it: never call in while the opener runs on this
// thread.
#pragma once

#include "settings/DialogFields.h"
#include "windowlogic/FirmwareGroupState.h"
#include "windowlogic/IDialogView.h"

class CPanelController;
class CPortOpener;
class CTextLibrary;

class CControlGroups {
 public:
  // All three outlive this object; the view and the panels come with Attach.
  CControlGroups(CDialogFields& fields, const CPortOpener& opener, CTextLibrary& texts)
      : m_fields(fields), m_opener(opener), m_texts(texts) {}
  // view: the window (null until it exists); panels: null for a view whose
  // panels hold no lists.
  void Attach(IMainView* view, CPanelController* panels) {
    m_pView = view;
    m_pPanels = panels;
  }

  // b: 1 enable, 0 disable.
  void EnableFileGroup(int b);
  void EnableRepeatGroup(int b);
  void EnableStringSendButton(int b);
  void EnableFirmwareGroup(int b);
  void EnableReceiveGroup(int b);
  void EnableFileStartGroup(int b);
  void EnableStringGroup(int b);
  void EnableInterfaceGroup(int b);
  // The repeat group's fields follow the Repeat check box.
  void FollowRepeatBox();

  // Every send control off: firmware, receive, file-start, file, string-send
  // button, string group and the packet-mode check box.
  void DisableAllSendControls();
  // The common end of an open (available: the port may be used).
  void EnableSendControls(int available, int firmwareFlag, int receiveFlag);
  // Shows panel n (0 serial, 1 USB, 2 TCP/IP; other: none) with its controls
  // enabled and what the connection offers.
  void ShowInterfacePanel(int n);
  // Only what the connection offers, on `panel` (-1: none selected).
  void ApplyConnectionOffer(int panel);

 private:
  CDialogFields& m_fields;
  const CPortOpener& m_opener;
  CTextLibrary& m_texts;
  IMainView* m_pView = nullptr;
  CPanelController* m_pPanels = nullptr;
  CFirmwareGroupState m_firmwareGroup;
  int m_bStringBoxHadFocus = 0;  // EnableStringGroup's focus record
};
