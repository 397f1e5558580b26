// The RS232 panel: port, baud rate, parity, flow control, data bits and stop
// bits as list positions, and five line-status lamps (DSR, CTS, RING, DCD,
// XON / XOFF) that start hidden.
//
// Threading: window thread only.
#pragma once

#include "panels/PanelBase.h"
#include "settings/DialogFields.h"

class CSerialChildDlg : public CPanelBase {
 public:
  CSerialChildDlg(CSerialFields& fields, QWidget* parent);
  int UpdateData(int save) override;

 private:
  CSerialFields& m_fields;
};
