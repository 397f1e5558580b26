// The RS232 panel: port, baud rate, parity, flow control, data bits and stop
// bits as list positions, and five line-status lamps (DSR, CTS, RING, DCD,
// XON / XOFF) that start hidden.
//
// Threading: window thread only.
#pragma once

#include "settings/DialogFields.h"
#include "panels/PanelBase.h"

class CSerialChildDlg : public CPanelBase {
 public:
  CSerialChildDlg(CSerialFields& fields, QWidget* parent);
  int UpdateData(int save) override;

 private:
  CSerialFields& m_fields;
};
