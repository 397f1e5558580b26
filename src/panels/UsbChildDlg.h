// The USB panel: device list (exchanged by text), output endpoint radios,
// status monitoring, the Info button and two status lamps (ERROR, P OUT).
//
// Threading: window thread only.
#pragma once

#include "panels/PanelBase.h"
#include "settings/DialogFields.h"

class CUsbChildDlg : public CPanelBase {
 public:
  CUsbChildDlg(CUsbFields& fields, QWidget* parent);
  int UpdateData(int save) override;

 private:
  CUsbFields& m_fields;
};
