#include "panels/UsbChildDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "panels/DataExchange.h"
#include "panels/DropDownCombo.h"
#include "panels/FrameBox.h"
#include "platform/ControlIds.h"

CUsbChildDlg::CUsbChildDlg(CUsbFields& fields, QWidget* parent)
    : CPanelBase(parent), m_fields(fields) {
  auto* outer = new QGridLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  QWidget* panel = CControlMap::Framed(
      outer, m_controls.Add(kIdcUsbSettingsFrame, new CFrameBox(tr("Settings"))), 0, 0);
  auto* grid = new QGridLayout(panel);
  CControlMap::InsetInFrame(grid);
  grid->addWidget(Combo(kIdcUsbDevice, new CDropDownCombo(panel), {}, tr("USB device")), 0, 0, 1,
                  2);
  grid->addWidget(Button(kIdcUsbInfo, new QPushButton(tr("Info"), panel)), 0, 2);

  QWidget* endp = CControlMap::Framed(
      grid, m_controls.Add(kIdcUsbEndpointFrame, new CFrameBox(tr("OUT endp"))), 1, 0);
  auto* endLay = new QVBoxLayout(endp);
  CControlMap::InsetInFrame(endLay);
  endLay->addWidget(Button(kIdcUsbNormal, new QRadioButton(tr("Norm/RT"), endp)));
  endLay->addWidget(Button(kIdcUsbRealTime, new QRadioButton(tr("Real Time"), endp)));

  QWidget* status = CControlMap::Framed(
      grid, m_controls.Add(kIdcUsbStatusFrame, new CFrameBox(tr("Status"))), 1, 1, 1, 2);
  auto* lamps = new QGridLayout(status);
  CControlMap::InsetInFrame(lamps);
  lamps->addWidget(m_controls.Add(kIdcUsbLampError, new CLed(CLed::PanelLamp, status), tr("ERROR")),
                   0, 0, Qt::AlignHCenter);
  lamps->addWidget(m_controls.Add(kIdcUsbErrorLabel, new QLabel(tr("ERROR"), status)), 1, 0,
                   Qt::AlignHCenter);
  lamps->addWidget(
      m_controls.Add(kIdcUsbLampPaperOut, new CLed(CLed::PanelLamp, status), tr("P OUT")), 0, 1,
      Qt::AlignHCenter);
  lamps->addWidget(m_controls.Add(kIdcUsbPaperOutLabel, new QLabel(tr("P OUT"), status)), 1, 1,
                   Qt::AlignHCenter);
  lamps->addWidget(Button(kIdcUsbMonitor, new QCheckBox(tr("Monitor"), status)), 2, 0, 1, 2);
}

int CUsbChildDlg::UpdateData(int save) {
  auto* devices = m_controls.Get<QComboBox>(kIdcUsbDevice);
  if (save) {
    m_fields.m_strDevice = devices->currentText().toLocal8Bit().toStdString();
  } else {
    // The first entry that begins with the text, letter case ignored.
    const QSignalBlocker quiet(devices);
    QString text = Qs(m_fields.m_strDevice);
    for (int i = 0; i < devices->count(); ++i) {
      if (devices->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
        devices->setCurrentIndex(i);
        break;
      }
    }
  }
  ddx::Radio(m_controls, {kIdcUsbNormal, kIdcUsbRealTime}, m_fields.m_nOutEndpoint, save);
  ddx::Check(m_controls, kIdcUsbMonitor, m_fields.m_bMonitor, save);
  return 1;
}
