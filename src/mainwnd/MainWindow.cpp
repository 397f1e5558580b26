#include "mainwnd/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "mainwnd/AboutDlg.h"
#include "mainwnd/AppIcon.h"
#include "mainwnd/QtMessageTarget.h"
#include "mainwnd/WindowAccessibility.h"
#include "panels/ButtonCommand.h"
#include "panels/DataExchange.h"
#include "panels/EthernetChildDlg.h"
#include "panels/FrameBox.h"
#include "panels/Led.h"
#include "panels/SerialChildDlg.h"
#include "panels/UsbChildDlg.h"
#include "platform/AppMessages.h"
#include "platform/ControlIds.h"

namespace {

constexpr int kTemplateWidthDu = 480;
constexpr int kTemplateHeightDu = 327;

// A report list that shows a focus frame while it has the focus, even with
// no rows (an item view marks only its current row).
class CReportList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QTreeWidget::paintEvent(event);
    if (hasFocus()) {
      QPainter painter(viewport());
      QStyleOptionFocusRect focus;
      focus.initFrom(this);
      focus.state |= QStyle::State_KeyboardFocusChange;
      focus.rect = viewport()->rect().adjusted(1, 1, -1, -1);
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
  }
};

QTreeWidget* ReportList(QWidget* parent, int columns) {
  auto* list = new CReportList(parent);
  list->setColumnCount(columns);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return list;
}

}  // namespace

CMainWindow::CMainWindow(CDialogFields& fields, QWidget* parent)
    : QDialog(parent), m_fields(fields), m_controls(this) {
  InstallWindowAccessibility();
  setWindowTitle(QStringLiteral("Sendrix Vx.x.x"));  // the logic sets the real title
  setWindowIcon(SendrixIcon());
  setAcceptDrops(true);
  setSizeGripEnabled(true);

  // As in the template: the receive buffer fills the left column below the
  // file and string groups and takes the window's extra height; on the
  // right, the "Communication" frame reaches down as far.
  auto* top = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout();
  auto* left = new QVBoxLayout();
  auto* right = new QVBoxLayout();
  // Groups sit close: their titles already set them apart.
  left->setSpacing(2);
  right->setSpacing(2);
  left->addWidget(BuildTransmitFile());
  left->addWidget(BuildSelectFile());
  left->addWidget(BuildString());
  left->addWidget(BuildReceive(), 1);
  right->addWidget(BuildFirmware());
  right->addWidget(BuildCommunication(), 1);
  columns->addLayout(left, 62);
  columns->addLayout(right, 38);
  top->addLayout(columns, 1);
  top->addWidget(BuildBottomRow());

  // Dialog units of the template's font: a quarter of the average character
  // width across, an eighth of the line height down. The layout's minimum
  // (a whole receive row, say) may make the window larger.
  QFontMetrics fm(font());
  resize(QSize(kTemplateWidthDu * fm.averageCharWidth() / 4, kTemplateHeightDu * fm.height() / 8)
             .expandedTo(minimumSizeHint()));

  for (auto& [id, w] : m_controls.All()) {
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      b->setAutoDefault(false);  // Enter belongs to the logic, never to a default button
    }
  }
  qApp->installEventFilter(this);
}

void CMainWindow::FitIntoScreen() {
  QScreen* screen = this->screen();
  if (screen == nullptr) {
    return;
  }
  const QRect room = screen->availableGeometry();
  const QSize frame = frameGeometry().size() - size();  // none before a manager frames it
  resize(size().boundedTo(room.size() - frame).expandedTo(minimumSizeHint()));
  QRect outer = frameGeometry();
  outer.moveRight(std::min(outer.right(), room.right()));
  outer.moveBottom(std::min(outer.bottom(), room.bottom()));
  outer.moveLeft(std::max(outer.left(), room.left()));
  outer.moveTop(std::max(outer.top(), room.top()));
  move(outer.topLeft());
}

CMainWindow::~CMainWindow() {
  qApp->removeEventFilter(this);
}

CMainWindow::CGroupCell CMainWindow::Group(int id, const QString& title) {
  CGroupCell g;
  g.cell = new QWidget(this);
  auto* outer = new QGridLayout(g.cell);
  outer->setContentsMargins(0, 0, 0, 0);
  g.inside = CControlMap::Framed(outer, m_controls.Add(id, new CFrameBox(title, g.cell)), 0, 0);
  g.grid = new QGridLayout(g.inside);
  CControlMap::InsetInFrame(g.grid);
  return g;
}

template <class T>
T* CMainWindow::Clickable(int id, T* button, const QString& name) {
  m_controls.Add(id, button, name);
  ConnectCommand(button, this, [this, id] {
    if (m_hooks.onCommand) {
      m_hooks.onCommand(id);
    }
  });
  return button;
}

QWidget* CMainWindow::BuildTransmitFile() {
  auto [cell, g, grid] = Group(1065, tr("Transmit File"));
  auto* file = m_controls.Add(1002, new QLineEdit(g), tr("Transmit File"));
  file->setAcceptDrops(false);  // a dropped file goes to the window's rule
  grid->addWidget(file, 0, 0, 1, 7);
  grid->addWidget(Clickable(1026, new QPushButton(tr("Browse"), g)), 0, 7);
  grid->addWidget(Clickable(1003, new QPushButton(tr("Start"), g)), 0, 8);
  // The repeat count and the delay (up to 300000 ms) are short numbers.
  const int numberWidth = g->fontMetrics().horizontalAdvance(QStringLiteral("3000000")) + 12;
  grid->addWidget(Clickable(1058, new QCheckBox(tr("Repeat"), g)), 1, 0);
  auto* count = m_controls.Add(1059, new QLineEdit(g), tr("Repeat"));
  count->setFixedWidth(numberWidth);
  grid->addWidget(count, 1, 1);
  grid->addWidget(m_controls.Add(1061, new QLabel(tr("times"), g)), 1, 2);
  grid->addWidget(m_controls.Add(1063, new QLabel(tr("Delay"), g)), 1, 3);
  auto* delay = m_controls.Add(1060, new QLineEdit(g), tr("Delay"));
  delay->setFixedWidth(numberWidth);
  grid->addWidget(delay, 1, 4);
  grid->addWidget(m_controls.Add(1062, new QLabel(tr("ms"), g)), 1, 5);
  auto* rate = m_controls.Add(1156, new QLabel(QStringLiteral("0"), g), tr("kbytes/sec"));
  rate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(rate, 1, 6, 1, 2);
  grid->addWidget(m_controls.Add(1157, new QLabel(tr("kbytes/sec"), g)), 1, 8);
  grid->setColumnStretch(6, 1);
  return cell;
}

QWidget* CMainWindow::BuildFirmware() {
  auto [cell, g, grid] = Group(1068, tr("Download Firmware"));
  grid->addWidget(Clickable(1005, new QPushButton(tr("Start"), g)), 0, 0, Qt::AlignLeft);
  static const char* const kSteps[] = {"Switch To Download Mode", "Check Flash Size", "Erase Flash",
                                       "Download Code",           "Check CRC",        "Read CRC"};
  for (int k = 0; k < 6; ++k) {
    QString step = tr(kSteps[k]);
    grid->addWidget(m_controls.Add(1007 + k, new QLabel(step, g)), 1 + k, 0);
    if (k < 5) {
      grid->addWidget(m_controls.Add(1015 + k, new CLed(CLed::StepLamp, g), step), 1 + k, 1,
                      Qt::AlignCenter);
    }
  }
  grid->addWidget(m_controls.Add(1022, new QLabel(g), tr("Read CRC")), 6, 1, Qt::AlignCenter);
  grid->setColumnStretch(0, 1);
  return cell;
}

QWidget* CMainWindow::BuildString() {
  auto [cell, g, grid] = Group(1066, tr("Send Data String"));
  auto* combo = m_controls.Add(1001, new QComboBox(g), tr("Send Data String"));
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);  // the history rule places entries
  combo->lineEdit()->setAcceptDrops(false);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  grid->addWidget(combo, 0, 0, 1, 3);
  grid->addWidget(Clickable(1027, new QPushButton(tr("Start"), g)), 0, 3);
  grid->addWidget(Clickable(1030, new QRadioButton(tr("ASCII"), g)), 1, 0);
  grid->addWidget(Clickable(1031, new QRadioButton(tr("Hex"), g)), 1, 1);
  grid->setColumnStretch(2, 1);
  return cell;
}

QWidget* CMainWindow::BuildCommunication() {
  auto [cell, g, grid] = Group(1067, tr("Communication"));
  grid->addWidget(Clickable(1014, new QRadioButton(tr("Serial"), g)), 0, 0);
  grid->addWidget(Clickable(1043, new QRadioButton(tr("USB"), g)), 0, 1);
  grid->addWidget(Clickable(1300, new QRadioButton(tr("Ethernet"), g)), 0, 2);
  grid->addWidget(Clickable(1069, new QCheckBox(tr("Packet Protocol"), g)), 0, 3);
  // The panels' own radios share this frame: left to auto-exclusion, a
  // click on the chosen interface would clear it. A group keeps one chosen.
  auto* interfaces = new QButtonGroup(g);
  for (int id : {1014, 1043, 1300})
    interfaces->addButton(m_controls.Get<QAbstractButton>(id));
  // The hidden frame marks where the panels go; they share that one cell.
  auto* frame = m_controls.Add(1087, new QFrame(g), tr("Interface settings"));
  frame->hide();
  grid->addWidget(frame, 1, 0, 1, 5);
  m_pPanels[0] = new CSerialChildDlg(m_fields.serial, g);
  m_pPanels[1] = new CUsbChildDlg(m_fields.usb, g);
  m_pPanels[2] = new CEthernetChildDlg(m_fields.ethernet, g);
  for (int n = 0; n < 3; ++n) {
    grid->addWidget(m_pPanels[n], 1, 0, 1, 5);
    m_pPanels[n]->hide();
    m_pPanels[n]->SetCommandHandler([this, n](int id) {
      if (m_hooks.onPanelCommand) {
        m_hooks.onPanelCommand(n, id);
      }
    });
  }
  // The choices stay together at the left; the panel keeps its height and
  // the frame grows below it.
  grid->setColumnStretch(4, 1);
  grid->setRowStretch(2, 1);
  return cell;
}

QWidget* CMainWindow::BuildSelectFile() {
  auto [cell, g, grid] = Group(1064, tr("Select File"));
  QTreeWidget* files = m_controls.Add(1025, ReportList(g, 3), tr("Select File"));
  files->setHeaderLabels({QString(), QString(), QString()});
  // The name takes what the size and the date leave; a long path loses its
  // middle, so its folder's start and the file name stay readable.
  QHeaderView* header = files->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  // Size and date keep room for a 9-digit size and the longest date, so the
  // columns do not jump when the first row arrives.
  const int pad = 2 * files->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, files) + 6;
  header->setSectionResizeMode(1, QHeaderView::Fixed);
  header->setSectionResizeMode(2, QHeaderView::Fixed);
  header->resizeSection(1,
                        files->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + pad);
  header->resizeSection(
      2, files->fontMetrics().horizontalAdvance(QStringLiteral("September 30, 2026")) + pad);
  files->setTextElideMode(Qt::ElideMiddle);
  files->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  files->headerItem()->setTextAlignment(1, Qt::AlignRight);
  files->headerItem()->setTextAlignment(2, Qt::AlignRight);
  // Four rows of the twenty; the receive buffer below takes the window's
  // extra height.
  const int row = files->fontMetrics().height() + 4;
  const int chrome = header->sizeHint().height() + 2 * files->frameWidth();
  files->setFixedHeight(chrome + 4 * row);
  connect(files, &QTreeWidget::itemClicked, this, [this] {
    if (m_hooks.onCommand) {
      m_hooks.onCommand(1025);
    }
  });
  grid->addWidget(files, 0, 0, 1, 3);
  // A thin bar in a frame of its own, the percent beside it: nothing that
  // could be taken for an edit box.
  auto* progress = m_controls.Add(1006, new QProgressBar(g), tr("Progress"));
  progress->setRange(0, 100);
  progress->setValue(0);
  progress->setTextVisible(false);
  progress->setFixedHeight(g->fontMetrics().height() * 2 / 3);
  progress->setStyleSheet(
      QStringLiteral("QProgressBar { border: 1px solid palette(dark); border-radius: 2px;"
                     " background: palette(window); }"
                     "QProgressBar::chunk { background: palette(highlight); }"));
  grid->addWidget(progress, 1, 0);
  auto* percent = m_controls.Add(1033, new QLabel(g), tr("Progress percent"));
  percent->setMinimumWidth(g->fontMetrics().horizontalAdvance(QStringLiteral("100 %")) + 4);
  percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(percent, 1, 1);
  grid->addWidget(m_controls.Add(1041, new QLabel(g), tr("Repeat number")), 1, 2);
  grid->setColumnStretch(0, 1);
  return cell;
}

QWidget* CMainWindow::BuildReceive() {
  auto [cell, g, grid] = Group(1075, tr("Receive Buffer"));
  m_pReceiveArea = g;
  // Stand-ins until the receive views are put in their place: the data list
  // above the USM list.
  QTreeWidget* rxData = m_controls.Add(1028, ReportList(g, 2), tr("Received data"));
  rxData->setHeaderLabels({tr("Hex"), tr("ASCII")});
  QTreeWidget* usm = m_controls.Add(1045, ReportList(g, 2), tr("Received USM"));
  usm->setHeaderLabels({tr("Hex"), tr("ASCII")});
  usm->hide();
  grid->addWidget(rxData, 0, 0);
  grid->addWidget(usm, 1, 0);
  return cell;
}

QWidget* CMainWindow::BuildBottomRow() {
  auto* row = new QWidget(this);
  auto* lay = new QHBoxLayout(row);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->addWidget(Clickable(1029, new QPushButton(tr("Clear Buffer"), row)));
  lay->addWidget(Clickable(1032, new QPushButton(tr("Save As"), row)));
  lay->addWidget(Clickable(1070, new QCheckBox(tr("Show USM"), row)));
  lay->addWidget(Clickable(kIdcShowTime, new QCheckBox(tr("Show Time"), row)));
  lay->addStretch();
  lay->addWidget(Clickable(1159, new QCheckBox(tr("Create Log"), row)));
  lay->addWidget(Clickable(kIdcJsonLog, new QCheckBox(tr("JSON Log"), row)));
  lay->addWidget(Clickable(1158, new QPushButton(tr("View Log"), row)));
  m_pMenuButton = new QToolButton(row);
  m_pMenuButton->setObjectName(QStringLiteral("systemMenuButton"));
  m_pMenuButton->setText(QStringLiteral("\u2261"));
  m_pMenuButton->setAccessibleName(tr("Window menu"));
  m_pMenuButton->setPopupMode(QToolButton::InstantPopup);
  m_pMenuButton->hide();
  lay->addWidget(m_pMenuButton);
  return row;
}

void CMainWindow::BuildSystemMenu(const std::string& aboutText, const std::string& stringsText,
                                  const std::string& filesText) {
  delete m_pMenu;
  m_pMenu = nullptr;
  m_pMenuButton->setMenu(nullptr);
  m_pMenuButton->hide();
  if (aboutText.empty()) {
    return;
  }
  m_pMenu = new QMenu(this);
  auto command = [this](UINT cmd) {
    if (m_hooks.onSysCommand) {
      m_hooks.onSysCommand(cmd);
    } else if (cmd == IDM_ABOUTBOX) {
      ShowAbout();
    }
  };
  m_pMenu->addSeparator();
  m_pMenu->addAction(Qs(stringsText), this, [command] { command(IDM_STRING_HISTORY); });
  m_pMenu->addAction(Qs(filesText), this, [command] { command(IDM_FILE_HISTORY); });
  m_pMenu->addSeparator();
  m_pMenu->addAction(Qs(aboutText), this, [command] { command(IDM_ABOUTBOX); });
  m_pMenuButton->setMenu(m_pMenu);
  m_pMenuButton->show();
}

void CMainWindow::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CMainWindow::ReplaceReceiveList(int id, QWidget* view) {
  QWidget* old = m_controls.Find(id);
  if (old == nullptr || view == nullptr) {
    return;
  }
  QString name = old->accessibleName();
  QLayout* lay = old->parentWidget()->layout();
  if (view->parentWidget() == old->parentWidget() && lay != nullptr) {
    lay->removeWidget(old);  // the view places itself in the area
  } else {
    view->setParent(old->parentWidget());
    view->setVisible(!old->isHidden());
    if (lay != nullptr) {
      delete lay->replaceWidget(old, view);
    }
  }
  delete old;
  m_controls.Add(id, view, name);
}

int CMainWindow::UpdateData(int save) {
  CMainFields& f = m_fields.main;
  ddx::Text(m_controls, 1002, f.m_strFileName, save);
  ddx::Radio(m_controls, {1030, 1031}, f.m_nStringFormat, save);
  ddx::Check(m_controls, 1058, f.m_bRepeat, save);
  if (!ddx::UInt(m_controls, 1060, f.m_nDelay, 0, 300000, save)) {
    return 0;
  }
  ddx::Text(m_controls, 1041, f.m_strRepeatNumber, save);
  if (!ddx::Int(m_controls, 1059, f.m_nRepeatCount, save)) {
    return 0;
  }
  ddx::Text(m_controls, 1001, f.m_strDataString, save);
  ddx::Radio(m_controls, {1014, 1043, 1300}, f.m_nInterface, save);
  ddx::Check(m_controls, 1069, f.m_bPacketMode, save);
  ddx::Check(m_controls, 1070, f.m_bShowUsm, save);
  ddx::Check(m_controls, 1159, f.m_bCreateLog, save);
  ddx::Check(m_controls, kIdcJsonLog, f.m_bJsonLog, save);
  ddx::Check(m_controls, kIdcShowTime, f.m_bShowTime, save);
  return 1;
}

IDialogView& CMainWindow::Panel(int interfaceType) {
  return *m_pPanels[interfaceType >= 0 && interfaceType < 3 ? interfaceType : 0];
}

void CMainWindow::ShowPanel(int n) {
  if (n < 0 || n > 2) {
    return;
  }
  for (int i = 0; i < 3; ++i) {
    m_pPanels[i]->setVisible(i == n);
  }
}

void CMainWindow::EnablePanels(int selected) {
  for (int n = 0; n < 3; ++n) {
    CControlMap& panel = m_pPanels[n]->Controls();
    for (auto& [id, w] : panel.All()) {
      panel.Enable(id, n == selected);
    }
  }
  // "XON / XOFF" means something only with that flow control chosen.
  m_pPanels[0]->Controls().Enable(1094, selected == 0 && m_fields.serial.m_nFlowIndex == 4);
  m_pPanels[2]->Controls().Get<QLineEdit>(1098)->setText(
      CEthernetChildDlg::IpText(m_fields.ethernet.m_dwIpAddress));
}

void CMainWindow::SetTitle(const std::string& title) {
  setWindowTitle(Qs(title));
}

void CMainWindow::SetListCaptions(const std::vector<std::string>& fileListHeaders,
                                  const std::vector<std::string>& parity,
                                  const std::string& flowNone) {
  auto* files = m_controls.Get<QTreeWidget>(1025);
  for (int c = 0; c < 3 && c < static_cast<int>(fileListHeaders.size()); ++c) {
    files->headerItem()->setText(c, Qs(fileListHeaders[c]));
  }
  CControlMap& serial = m_pPanels[0]->Controls();
  auto* parityList = serial.Get<QComboBox>(1204);
  for (int i = 0; i < parityList->count() && i < static_cast<int>(parity.size()); ++i) {
    parityList->setItemText(i, Qs(parity[i]));
  }
  serial.Get<QComboBox>(1013)->setItemText(0, Qs(flowNone));
}

void CMainWindow::SetFileList(const std::vector<CFileListRow>& rows) {
  auto* list = m_controls.Get<QTreeWidget>(1025);
  list->clear();
  for (const CFileListRow& r : rows) {
    auto* item = new QTreeWidgetItem(list, {Qs(r.name), Qs(r.size), Qs(r.date)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  }
  if (list->topLevelItemCount() > 0) {
    list->scrollToItem(list->topLevelItem(0));
  }
}

int CMainWindow::GetFileListSelection() {
  auto* list = m_controls.Get<QTreeWidget>(1025);
  QList<QTreeWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

void CMainWindow::SetStringList(const std::vector<std::string>& entries) {
  auto* combo = m_controls.Get<QComboBox>(1001);
  QString text = combo->currentText();  // the entries change, the typed text stays
  combo->clear();
  for (const std::string& e : entries) {
    combo->addItem(Qs(e));
  }
  combo->setEditText(text);
}

void CMainWindow::SetProgress(int percent) {
  m_controls.Get<QProgressBar>(1006)->setValue(percent < 0 ? 0 : (percent > 100 ? 100 : percent));
}

void CMainWindow::SetLed(int dialog, int id, int state) {
  CControlMap* map = dialog == -1                  ? &m_controls
                     : (dialog >= 0 && dialog < 3) ? &m_pPanels[dialog]->Controls()
                                                   : nullptr;
  if (map == nullptr) {
    return;
  }
  if (auto* led = map->Get<CLed>(id)) {
    led->SetState(state);
  }
}

void CMainWindow::PostClose() {
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

int CMainWindow::OpenWithDesktop(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(Qs(path))) ? 1 : 0;
}

// Sees every key before the focused control does, like a dialog's
// pretranslation; the key event reaches this filter once per widget it
// propagates to, so only the focused widget's turn counts.
bool CMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) {
    return false;
  }
  auto* w = static_cast<QWidget*>(watched);
  if (event->type() == QEvent::KeyPress && w->window() == this) {
    QWidget* focus = QApplication::focusWidget();
    if (w == focus || (focus == nullptr && w == this)) {
      if (HandleButtonOrMnemonicKey(focus, static_cast<QKeyEvent*>(event))) {
        return true;
      }
      for (int n = 0; n < 3; ++n) {
        // A panel itself holds the focus of a control it disabled.
        if (focus != nullptr && (focus == m_pPanels[n] || m_pPanels[n]->isAncestorOf(focus))) {
          return HandlePanelKey(n, static_cast<QKeyEvent*>(event));
        }
      }
      return HandleKey(static_cast<QKeyEvent*>(event));
    }
  } else if (event->type() == QEvent::ToolTip && w->window() == this && m_hooks.tipText) {
    return HandleToolTip(w, static_cast<QHelpEvent*>(event));
  }
  return false;
}

// Enter on a focused push button or tool button presses it (after this
// key's turn, so a dialog it opens does not run inside the key's delivery).
// An Alt+letter that reached a control matched no mnemonic: it is eaten,
// never typed into the focused box.
bool CMainWindow::HandleButtonOrMnemonicKey(QWidget* focus, QKeyEvent* key) {
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  auto* button = qobject_cast<QAbstractButton*>(focus);
  if (enter && button != nullptr && !button->isCheckable() && button->isEnabled()) {
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    return true;
  }
  const Qt::KeyboardModifiers mods = key->modifiers();
  if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty() &&
      key->text().at(0).isPrint()) {
    QApplication::beep();
    return true;
  }
  return false;
}

bool CMainWindow::HandleKey(QKeyEvent* key) {
  int vk = 0;
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      vk = VK_RETURN;
      break;
    case Qt::Key_Escape:
      vk = VK_ESCAPE;
      break;
    case Qt::Key_Up:
      vk = VK_UP;
      break;
    case Qt::Key_Down:
      vk = VK_DOWN;
      break;
    default:
      return false;
  }
  int handled = m_hooks.onKey ? m_hooks.onKey(vk, m_controls.FocusId()) : 0;
  return vk == VK_RETURN || handled != 0;
}

// A panel consumes Enter (its logic may act on it) and Escape (nothing).
bool CMainWindow::HandlePanelKey(int panel, QKeyEvent* key) {
  if (key->key() == Qt::Key_Escape) {
    return true;
  }
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
    return false;
  }
  if (m_hooks.onPanelEnter) {
    m_hooks.onPanelEnter(panel, m_pPanels[panel]->Controls().FocusId());
  }
  return true;
}

bool CMainWindow::HandleToolTip(QWidget* w, QHelpEvent* help) {
  int dialog = -1;
  int id = m_controls.IdOf(w);
  for (int n = 0; id == 0 && n < 3; ++n) {
    if ((id = m_pPanels[n]->Controls().IdOf(w)) != 0) {
      dialog = n;
    }
  }
  if (id == 0) {
    return false;
  }
  QString text = Qs(m_hooks.tipText(dialog, id));
  if (text.isEmpty() && !w->toolTip().isEmpty()) {
    return false;  // a tip the control keeps itself (the status line's bit table)
  }
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    // Rich text wraps long tips instead of one very wide line.
    QToolTip::showText(help->globalPos(), QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()), w);
  }
  return true;
}

void CMainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // a dialog would close; this window does not
    return;
  }
  QDialog::keyPressEvent(event);
}

void CMainWindow::closeEvent(QCloseEvent* event) {
  // Stop taking worker messages first: a thread waiting in a send is let go
  // now, before the logic stops the threads and the window goes away.
  if (m_pTarget != nullptr) {
    m_pTarget->Close();
  }
  if (m_hooks.onSysCommand) {
    m_hooks.onSysCommand(static_cast<UINT>(SC_CLOSE));
  }
  QDialog::closeEvent(event);
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    for (const QUrl& url : event->mimeData()->urls()) {
      if (url.isLocalFile()) {
        event->acceptProposedAction();
        return;
      }
    }
  }
}

void CMainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) {
      paths.push_back(url.toLocalFile().toLocal8Bit().toStdString());
    }
  }
  if (!paths.empty() && m_hooks.onDropFiles) {
    m_hooks.onDropFiles(paths);
  }
  event->acceptProposedAction();
}
