#include "panels/SerialChildDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "panels/DataExchange.h"
#include "panels/DropDownCombo.h"
#include "panels/FrameBox.h"
#include "platform/ControlIds.h"

namespace {

QStringList PortNames() {
  QStringList names;
  for (int n = 1; n <= 10; ++n) {
    names << QStringLiteral("COM%1").arg(n);
  }
  return names;
}

}  // namespace

CSerialChildDlg::CSerialChildDlg(CSerialFields& fields, QWidget* parent)
    : CPanelBase(parent), m_fields(fields) {
  auto* outer = new QGridLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  QWidget* panel = CControlMap::Framed(
      outer, m_controls.Add(kIdcSerialPortFrame, new CFrameBox(tr("&Serial Port"))), 0, 0);
  auto* grid = new QGridLayout(panel);
  CControlMap::InsetInFrame(grid);

  // One drop-down list in a frame of its own (the port list has none).
  auto listIn = [&](int boxId, const char* title, int id, const QStringList& items, int row,
                    int col) {
    QString name = QString::fromLatin1(title).remove(QLatin1Char('&'));
    // The port list is refilled from the library each time it drops down.
    auto* combo =
        Combo(id, id == kIdcSerialPort ? new CDropDownCombo() : new QComboBox(), items, name);
    if (boxId == 0) {
      auto* cell = new QWidget(panel);
      auto* lay = new QVBoxLayout(cell);
      lay->setContentsMargins(0, 0, 0, 0);
      lay->addStretch();
      combo->setParent(cell);
      lay->addWidget(combo);
      grid->addWidget(cell, row, col);
      return;
    }
    QWidget* inner =
        CControlMap::Framed(grid, m_controls.Add(boxId, new CFrameBox(tr(title))), row, col);
    auto* lay = new QVBoxLayout(inner);
    CControlMap::InsetInFrame(lay);
    combo->setParent(inner);
    lay->addWidget(combo);
  };
  listIn(0, "Serial Port", kIdcSerialPort, PortNames(), 0, 0);
  listIn(kIdcSerialBaudLabel, "Baud Rate", kIdcSerialBaud,
         {"115200", "57600", "38400", "19200", "9600", "4800", "2400", "1200", "600", "300", "110"},
         0, 1);
  listIn(kIdcSerialParityLabel, "&Parity", kIdcSerialParity,
         {"None", "Odd", "Even", "Mark", "Space"}, 0, 2);
  listIn(kIdcSerialFlowLabel, "&Flow Control", kIdcSerialFlow,
         {"None", "DSR+CTS", "DSR", "CTS", "Xon / Xoff"}, 1, 0);
  listIn(kIdcSerialDataBitsLabel, "&Data Bits", kIdcSerialDataBits, {"5", "6", "7", "8"}, 1, 1);
  listIn(kIdcSerialStopBitsLabel, "&Stop Bits", kIdcSerialStopBits, {"1", "1.5", "2"}, 1, 2);

  QWidget* status = CControlMap::Framed(
      grid, m_controls.Add(kIdcSerialStatusFrame, new CFrameBox(tr("Status"))), 2, 0, 1, 3);
  auto* lamps = new QGridLayout(status);
  CControlMap::InsetInFrame(lamps);
  const struct {
    int led;
    int label;
    const char* text;
  } kLamps[] = {{kIdcSerialLampDsr, kIdcSerialLabelDsr, "DSR"},
                {kIdcSerialLampCts, kIdcSerialLabelCts, "CTS"},
                {kIdcSerialLampRing, kIdcSerialLabelRing, "RING"},
                {kIdcSerialLampDcd, kIdcSerialLabelDcd, "DCD"},
                {kIdcSerialLampXonXoff, kIdcSerialLabelXonXoff, "XON / XOFF"}};
  int col = 0;
  for (const auto& l : kLamps) {
    lamps->addWidget(
        m_controls.Add(l.led, new CLed(CLed::PanelLamp, status), QString::fromLatin1(l.text)), 0,
        col, Qt::AlignHCenter);
    lamps->addWidget(m_controls.Add(l.label, new QLabel(QString::fromLatin1(l.text), status)), 1,
                     col, Qt::AlignHCenter);
    ++col;
  }
}

int CSerialChildDlg::UpdateData(int save) {
  ddx::ComboIndex(m_controls, kIdcSerialPort, m_fields.m_nPortIndex, save);
  ddx::ComboIndex(m_controls, kIdcSerialBaud, m_fields.m_nBaudIndex, save);
  ddx::ComboIndex(m_controls, kIdcSerialParity, m_fields.m_nParityIndex, save);
  ddx::ComboIndex(m_controls, kIdcSerialDataBits, m_fields.m_nDataBitsIndex, save);
  ddx::ComboIndex(m_controls, kIdcSerialStopBits, m_fields.m_nStopBitsIndex, save);
  ddx::ComboIndex(m_controls, kIdcSerialFlow, m_fields.m_nFlowIndex, save);
  return 1;
}
