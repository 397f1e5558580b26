#include "panels/SetupEthDevDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <thread>

#include "platform/ControlIds.h"
#include "windowlogic/VirtualKeys.h"

CSetupEthDevDlg::CSetupEthDevDlg(const std::string& textLibrary, QWidget* parent,
                                 CSetupEthDevLogic::Hooks hooks)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint), m_logic(*this) {
  setWindowTitle(tr("Setup Devices"));
  setAccessibleName(tr("Setup Devices"));
  Build();
  hooks.runBlocking = [this](const std::function<void()>& work) { RunBlocking(work); };
  m_logic.SetHooks(std::move(hooks));
  m_logic.m_strTextLibrary = textLibrary;
  m_logic.OnInitDialog();
  ApplyTips();
}

CSetupEthDevDlg::~CSetupEthDevDlg() {
  while (m_nWaitDepth > 0)
    SetWaitCursor(0);
}

QWidget* CSetupEthDevDlg::Add(int id, QWidget* widget, const QString& accessibleName) {
  m_controls.Add(id, widget, accessibleName);
  widget->installEventFilter(this);
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setAutoDefault(false);  // Enter acts by focus, never by a default button
    button->setDefault(false);
  }
  return widget;
}

void CSetupEthDevDlg::Build() {
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  auto* search = static_cast<QPushButton*>(
      Add(kIdcDevSearch, new QPushButton(tr("Search"), this), tr("Search")));
  top->addWidget(search);
  top->addStretch();
  outer->addLayout(top);

  m_pList =
      static_cast<QTreeWidget*>(Add(kIdcDevList, new QTreeWidget(this), tr("Discovered devices")));
  m_pList->setColumnCount(3);
  m_pList->setHeaderLabels({tr("IP Address"), tr("Device Name"), tr("MAC Address")});
  m_pList->setRootIsDecorated(false);
  m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_pList->setAllColumnsShowFocus(true);
  m_pList->header()->setSectionsMovable(false);
  const int widths[3] = {110, 105, 117};
  for (int c = 0; c < 3; ++c)
    m_pList->setColumnWidth(c, widths[c]);
  m_pList->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  m_pList->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  m_pList->setMinimumWidth(110 + 105 + 117 + 8);
  outer->addWidget(m_pList);

  auto* group = static_cast<QGroupBox*>(
      Add(kIdcDevGroup, new QGroupBox(tr("Selected Device"), this), tr("Selected Device")));
  auto* grid = new QGridLayout(group);
  grid->addWidget(Add(kIdcDevIpLabel, new QLabel(tr("IP Address"), group), tr("IP Address")), 0, 0);
  grid->addWidget(Add(kIdcDevNameLabel, new QLabel(tr("Device Name"), group), tr("Device Name")), 0,
                  1);
  auto* ip = static_cast<QLineEdit*>(Add(kIdcDevNewIp, new QLineEdit(group), tr("New IP address")));
  // Digits and dots only; every digit typed stays (the logic says what is
  // wrong with a number out of range, rather than dropping its last digit).
  ip->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]*(\\.[0-9]*){0,3}")), ip));
  grid->addWidget(ip, 1, 0);
  auto* name =
      static_cast<QLineEdit*>(Add(kIdcDevNewName, new QLineEdit(group), tr("New device name")));
  name->setMaxLength(10);
  grid->addWidget(name, 1, 1);
  outer->addWidget(group);

  auto* bottom = new QHBoxLayout();
  auto* update = static_cast<QPushButton*>(
      Add(kIdcDevUpdate, new QPushButton(tr("Update"), this), tr("Update")));
  auto* reboot = static_cast<QPushButton*>(
      Add(kIdcDevReboot, new QPushButton(tr("Reboot"), this), tr("Reboot")));
  auto* ok = static_cast<QPushButton*>(Add(kIdcDevOk, new QPushButton(tr("OK"), this), tr("OK")));
  bottom->addWidget(update);
  bottom->addWidget(reboot);
  bottom->addStretch();
  bottom->addWidget(ok);
  outer->addLayout(bottom);

  connect(search, &QPushButton::clicked, this, [this] { m_logic.SearchDevices(true); });
  connect(update, &QPushButton::clicked, this, [this] { m_logic.OnUpdateDevice(); });
  connect(reboot, &QPushButton::clicked, this, [this] { m_logic.OnRebootDevice(); });
  connect(ok, &QPushButton::clicked, this, [this] { m_logic.OnOK(); });
  connect(m_pList, &QTreeWidget::itemClicked, this, [this] { m_logic.OnClickDeviceList(); });
}

void CSetupEthDevDlg::ApplyTips() {
  for (const auto& [id, widget] : m_controls.All()) {
    std::string tip = m_logic.TipText(id);
    // As rich text the tip wraps instead of growing wider than the screen.
    widget->setToolTip(
        tip.empty()
            ? QString()
            : QStringLiteral("<p style='max-width:500px'>%1</p>").arg(Qs(tip).toHtmlEscaped()));
  }
}

void CSetupEthDevDlg::RunBlocking(const std::function<void()>& work) {
  ++m_nBlockingRuns;
  SetWaitCursor(1);
  QEventLoop loop;
  std::thread worker([&work, &loop] {
    work();
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  // Repaints and timers go on; clicks and keys wait until the work is done.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  SetWaitCursor(0);
}

void CSetupEthDevDlg::SetRows(const std::vector<CEthDevRecord>& rows) {
  m_pList->clear();
  for (const CEthDevRecord& row : rows) {
    auto* item = new QTreeWidgetItem(m_pList, {Qs(row.strIp), Qs(row.strName), Qs(row.strMac)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  }
  m_pList->setCurrentItem(nullptr);
}

int CSetupEthDevDlg::GetSelectionMark() {
  QTreeWidgetItem* item = m_pList->currentItem();
  return item ? m_pList->indexOfTopLevelItem(item) : -1;
}

void CSetupEthDevDlg::SetWaitCursor(int on) {
  if (on) {
    ++m_nWaitDepth;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (m_nWaitDepth > 0) {
    --m_nWaitDepth;
    QApplication::restoreOverrideCursor();
  }
}

void CSetupEthDevDlg::SetTitle(const std::string& title) {
  setWindowTitle(Qs(title));
}

void CSetupEthDevDlg::SetColumnHeader(int column, const std::string& text) {
  m_pList->headerItem()->setText(column, Qs(text));
}

void CSetupEthDevDlg::EndDialog(int result) {
  m_bClosing = true;
  done(result);
  m_bClosing = false;
}

bool CSetupEthDevDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      m_logic.PreTranslateKey(VK_RETURN);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      m_logic.PreTranslateKey(VK_ESCAPE);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CSetupEthDevDlg::keyPressEvent(QKeyEvent* event) {
  if (!eventFilter(this, event))
    QDialog::keyPressEvent(event);
}

void CSetupEthDevDlg::closeEvent(QCloseEvent* event) {
  if (m_bClosing) {
    event->accept();
  } else {
    event->ignore();  // only OK ends the dialog
  }
}
