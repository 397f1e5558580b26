// CEthernetPanel: the deciding logic of the TCP/IP panel, without Qt: the
// address kept first octet most significant, the port edits that turn the
// window's action controls off until Enter (or an output-port radio)
// reopens the connection, the MAC text and the tooltips, which name any
// control outside the table "Undefined Control ID #<id>".
//
// Threading: window thread only.
#pragma once

#include <string>

#include "platform/ControlIds.h"
#include "platform/Win32Types.h"
#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/PanelHooks.h"

class CEthernetPanel {
 public:
  enum : int {
    IDC_IP = kIdcEthIp,
    IDC_MAC = kIdcEthMac,
    IDC_MAIN_PORT = kIdcEthMainPort,
    IDC_USM_PORT = kIdcEthUsmPort,
    IDC_RT_PORT = kIdcEthRealTimePort,
    IDC_OUT_MAIN = kIdcEthOutMain,
    IDC_OUT_RT = kIdcEthOutRealTime,
    IDC_AUTO = kIdcEthAutoReconnect,
    IDC_SETUP = kIdcEthSetup,
  };

  CEthernetPanel(CEthernetFields& fields, IDialogView& view, const CPanelHooks& hooks);

  // "%d.%d.%d.%d" of an address held first octet most significant.
  static std::string IpText(DWORD address);
  // Four dotted decimal fields 0..255 (an empty field counts as 0, as in an
  // address control) into the same form: 1, or 0 when the text is not one.
  static int ParseIpText(const std::string& text, DWORD* address);

  // A field of the address control changed: the field takes the address.
  void OnIpChange();
  // A text change in kIdcEthMainPort, kIdcEthUsmPort or kIdcEthRealTimePort: read the controls;
  // while TCP/IP is selected the action controls go off until the connection is reopened.
  void OnPortEditChange(int id);
  // A click on kIdcEthOutMain or kIdcEthOutRealTime (the USB panel's endpoint handler).
  void OnOutputClick();
  // The enabled state that depends on the last connection, while TCP/IP is
  // selected (selected = 1) or not: "Main Port" (kIdcEthOutMain) only with the
  // completion flag, "Real Time" (kIdcEthOutRealTime) only with a real-time channel, the
  // "USM Port" label (kIdcEthUsmLabel) only with a USM channel.
  void ApplyConnectionState(int selected, int completion, int rtChannel, int usmChannel);
  // The Setup button.
  void OnSetup();
  // Enter in kIdcEthIp, kIdcEthMainPort, kIdcEthUsmPort or kIdcEthRealTimePort reopens the
  // connection when no operation runs; Enter elsewhere and Escape do nothing. Both are consumed
  // (1); other keys 0.
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
