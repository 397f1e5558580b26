// The TCP/IP panel: printer address, MAC text, output port radios with the
// main and real-time port numbers, the USM port, automatic reconnection and
// the Setup button.
//
// Threading: window thread only.
#pragma once

#include "panels/PanelBase.h"
#include "settings/DialogFields.h"

class CEthernetChildDlg : public CPanelBase {
 public:
  CEthernetChildDlg(CEthernetFields& fields, QWidget* parent);
  int UpdateData(int save) override;

  // Dotted text of an address held first octet most significant, and back.
  // Empty fields of a partly typed address count as 0, as in an address
  // control; returns 0 when the text is not an address.
  static QString IpText(DWORD address);
  static int ParseIpText(const QString& text, DWORD* address);

 private:
  CEthernetFields& m_fields;
};
