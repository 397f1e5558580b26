// CEthernetPanel: the deciding logic of the TCP/IP panel, without Qt: the
// address kept first octet most significant, the port edits that turn the
// window's action controls off until Enter (or an output-port radio)
// reopens the connection, the MAC text and the tooltips, which name any
// control outside the table "Undefined Control ID #<id>".
//
// Threading: window thread only.
#pragma once

#include <string>

#include "platform/Win32Types.h"
#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/PanelHooks.h"

class CEthernetPanel {
 public:
  enum : int {
    IDC_IP = 1098,
    IDC_MAC = 1104,
    IDC_MAIN_PORT = 1101,
    IDC_USM_PORT = 1102,
    IDC_RT_PORT = 1105,
    IDC_OUT_MAIN = 1110,
    IDC_OUT_RT = 1111,
    IDC_AUTO = 1151,
    IDC_SETUP = 1123,
  };

  CEthernetPanel(CEthernetFields& fields, IDialogView& view, const CPanelHooks& hooks);

  // "%d.%d.%d.%d" of an address held first octet most significant.
  static std::string IpText(DWORD address);
  // Four dotted decimal fields 0..255 (an empty field counts as 0, as in an
  // address control) into the same form: 1, or 0 when the text is not one.
  static int ParseIpText(const std::string& text, DWORD* address);

  // A field of the address control changed: the field takes the address.
  void OnIpChange();
  // A text change in 1101, 1102 or 1105: read the controls; while TCP/IP is
  // selected the action controls go off until the connection is reopened.
  void OnPortEditChange(int id);
  // A click on 1110 or 1111 (the USB panel's endpoint handler).
  void OnOutputClick();
  // The enabled state that depends on the last connection, while TCP/IP is
  // selected (selected = 1) or not: "Main Port" (1110) only with the
  // completion flag, "Real Time" (1111) only with a real-time channel, the
  // "USM Port" label (1154) only with a USM channel.
  void ApplyConnectionState(int selected, int completion, int rtChannel, int usmChannel);
  // The Setup button.
  void OnSetup();
  // Enter in 1098, 1101, 1102 or 1105 reopens the connection when no
  // operation runs; Enter elsewhere and Escape do nothing. Both are
  // consumed (1); other keys 0.
  int PreTranslateKey(int key);
  // 1 while an edited port waits for its Enter.
  int IsEditPending() const { return m_bEditPending; }

 private:
  void Reopen();

  CEthernetFields& m_fields;
  IDialogView& m_view;
  const CPanelHooks& m_hooks;
  int m_bEditPending = 0;
};
