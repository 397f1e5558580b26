#include "panels/EthernetChildDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "panels/DataExchange.h"
#include "panels/FrameBox.h"
#include "platform/ControlIds.h"
#include "platform/Notifier.h"

CEthernetChildDlg::CEthernetChildDlg(CEthernetFields& fields, QWidget* parent)
    : CPanelBase(parent), m_fields(fields) {
  auto* outer = new QGridLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  QWidget* panel = CControlMap::Framed(
      outer, m_controls.Add(kIdcEthFrame, new CFrameBox(tr("Ethernet Port"))), 0, 0);
  auto* grid = new QGridLayout(panel);
  CControlMap::InsetInFrame(grid);

  grid->addWidget(m_controls.Add(kIdcEthIpLabel, new QLabel(tr("IP address"), panel)), 0, 0);
  auto* ip = m_controls.Add(kIdcEthIp, new QLineEdit(panel), tr("IP address"));
  // Four fields of 0..255, as an address control allows.
  static const QString kOctet = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?");
  ip->setValidator(
      new QRegularExpressionValidator(QRegularExpression(kOctet + "(\\." + kOctet + "){0,3}"), ip));
  grid->addWidget(ip, 0, 1, 1, 2);
  grid->addWidget(m_controls.Add(kIdcEthMacLabel, new QLabel(tr("MAC Address"), panel)), 1, 0);
  auto* mac = m_controls.Add(kIdcEthMac, new QLabel(panel), tr("MAC Address"));
  mac->setAlignment(Qt::AlignCenter);
  grid->addWidget(mac, 1, 1, 1, 2);

  QWidget* ports = CControlMap::Framed(
      grid, m_controls.Add(kIdcEthSettingsFrame, new CFrameBox(tr("Settings"))), 2, 0, 1, 3);
  auto* portLay = new QGridLayout(ports);
  CControlMap::InsetInFrame(portLay);
  portLay->addWidget(Button(kIdcEthOutMain, new QRadioButton(tr("Main Port"), ports)), 0, 0);
  portLay->addWidget(m_controls.Add(kIdcEthMainPort, new QLineEdit(ports), tr("Main Port")), 0, 1);
  portLay->addWidget(Button(kIdcEthOutRealTime, new QRadioButton(tr("Real Time"), ports)), 1, 0);
  portLay->addWidget(m_controls.Add(kIdcEthRealTimePort, new QLineEdit(ports), tr("Real Time")), 1,
                     1);

  QWidget* usm = CControlMap::Framed(
      grid, m_controls.Add(kIdcEthUsmFrame, new CFrameBox(QString())), 3, 0, 1, 3);
  auto* usmLay = new QGridLayout(usm);
  CControlMap::InsetInFrame(usmLay);
  usmLay->addWidget(m_controls.Add(kIdcEthUsmLabel, new QLabel(tr("USM Port"), usm)), 0, 0);
  usmLay->addWidget(m_controls.Add(kIdcEthUsmPort, new QLineEdit(usm), tr("USM Port")), 0, 1);
  usmLay->addWidget(Button(kIdcEthAutoReconnect, new QCheckBox(tr("Auto"), usm)), 0, 2);
  // What the operator types (not what data exchange writes) is a command:
  // an edited port waits for Enter, an edited address is taken at once.
  for (int id : {kIdcEthIp, kIdcEthMainPort, kIdcEthUsmPort, kIdcEthRealTimePort}) {
    connect(m_controls.Get<QLineEdit>(id), &QLineEdit::textEdited, this,
            [this, id] { Command(id); });
  }
  grid->addWidget(Button(kIdcEthSetup, new QPushButton(tr("Setup"), panel)), 4, 2);

  // One column of fields: the labels' column is as wide as the widest label,
  // the panel's own a frame's inset wider than the framed ones; the fields'
  // column takes the extra width.
  int labels = 0;
  for (int id :
       {kIdcEthIpLabel, kIdcEthMacLabel, kIdcEthOutMain, kIdcEthOutRealTime, kIdcEthUsmLabel}) {
    labels = std::max(labels, m_controls.Find(id)->sizeHint().width());
  }
  for (QGridLayout* lay : {portLay, usmLay, grid}) {
    lay->setColumnMinimumWidth(0, labels + (lay == grid ? CControlMap::kFrameInset : 0));
    lay->setColumnStretch(1, 1);
  }
}

QString CEthernetChildDlg::IpText(DWORD a) {
  return QStringLiteral("%1.%2.%3.%4")
      .arg((a >> 24) & 0xFF)
      .arg((a >> 16) & 0xFF)
      .arg((a >> 8) & 0xFF)
      .arg(a & 0xFF);
}

int CEthernetChildDlg::ParseIpText(const QString& text, DWORD* address) {
  QStringList parts = text.trimmed().split(QLatin1Char('.'));
  if (parts.size() > 4) {
    return 0;
  }
  DWORD value = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned octet = 0;
    if (i < parts.size() && !parts.at(i).isEmpty()) {
      bool ok = false;
      octet = parts.at(i).toUInt(&ok, 10);
      if (!ok || octet > 255) {
        return 0;
      }
    }
    value = (value << 8) | octet;
  }
  *address = value;
  return 1;
}

int CEthernetChildDlg::UpdateData(int save) {
  auto* ip = m_controls.Get<QLineEdit>(kIdcEthIp);
  if (save) {
    if (!ParseIpText(ip->text(), &m_fields.m_dwIpAddress)) {
      AfxMessageBox("Please enter a valid IP address.", MB_OK);
      ip->setFocus();
      return 0;
    }
  } else {
    ip->setText(IpText(m_fields.m_dwIpAddress));
  }
  if (!save && m_fields.m_strMac.size() > 50) {
    m_fields.m_strMac.resize(50);  // the MAC text's field holds at most 50 characters
  }
  ddx::Text(m_controls, kIdcEthMac, m_fields.m_strMac, save);
  ddx::Radio(m_controls, {kIdcEthOutMain, kIdcEthOutRealTime}, m_fields.m_nOutputPort, save);
  ddx::Check(m_controls, kIdcEthAutoReconnect, m_fields.m_bAutoReconnect, save);
  return ddx::Int(m_controls, kIdcEthRealTimePort, m_fields.m_nRealTimePort, save) &&
                 ddx::Int(m_controls, kIdcEthUsmPort, m_fields.m_nUsmPort, save) &&
                 ddx::Int(m_controls, kIdcEthMainPort, m_fields.m_nMainPort, save)
             ? 1
             : 0;
}
