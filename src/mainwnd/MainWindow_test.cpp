// The window as the logic sees it: controls by ID, data exchange, keys,
// lamps, panels, the menu and drops. Offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <utility>

#include "mainwnd/MainWindow.h"
#include "panels/Led.h"
#include "panels/PanelBase.h"
#include "platform/ControlIds.h"
#include "testsupport/FakeMainView.h"
#include "testsupport/RecordingNotifier.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNotifier(&m_notifier);
    m_pWindow = std::make_unique<CMainWindow>(m_fields);
    CMainWindowHooks hooks;
    hooks.onKey = [this](int vk, int focus) {
      m_keys.emplace_back(vk, focus);
      return 0;
    };
    hooks.onCommand = [this](int id) { m_commands.push_back(id); };
    hooks.onSysCommand = [this](UINT cmd) { m_sysCommands.push_back(cmd); };
    hooks.onDropFiles = [this](const std::vector<std::string>& p) { m_drops = p; };
    m_pWindow->SetHooks(hooks);
  }
  void TearDown() override {
    m_pWindow.reset();
    SetNotifier(nullptr);
  }
  void ShowAndFocus(QWidget* w) {
    m_pWindow->show();
    QApplication::setActiveWindow(m_pWindow.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pWindow.get()));
    w->setFocus();
    QApplication::processEvents();
  }
  // Keys go where the keyboard would send them: the focused widget.
  static void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
  CPanelBase& PanelOf(int n) { return static_cast<CPanelBase&>(m_pWindow->Panel(n)); }

  CRecordingNotifier m_notifier;
  CDialogFields m_fields;
  std::unique_ptr<CMainWindow> m_pWindow;
  std::vector<std::pair<int, int>> m_keys;
  std::vector<int> m_commands;
  std::vector<UINT> m_sysCommands;
  std::vector<std::string> m_drops;
};

// Every control of each dialog is found by its ID and carries an accessible
// name: (dialog, id, expected name or "" for any non-empty name).
TEST_F(MainWindowTest, ControlsAreFoundByIdWithAccessibleNames) {
  const std::vector<std::pair<int, std::vector<int>>> dialogs = {
      {-1, MainWindowControlIds()},
      {0, {kIdcSerialPortFrame,   kIdcSerialPort,          kIdcSerialBaudLabel,
           kIdcSerialBaud,        kIdcSerialParityLabel,   kIdcSerialParity,
           kIdcSerialFlowLabel,   kIdcSerialFlow,          kIdcSerialDataBitsLabel,
           kIdcSerialDataBits,    kIdcSerialStopBitsLabel, kIdcSerialStopBits,
           kIdcSerialStatusFrame, kIdcSerialLabelDsr,      kIdcSerialLabelCts,
           kIdcSerialLabelRing,   kIdcSerialLabelDcd,      kIdcSerialLabelXonXoff,
           kIdcSerialLampDsr,     kIdcSerialLampCts,       kIdcSerialLampRing,
           kIdcSerialLampDcd,     kIdcSerialLampXonXoff}},
      {1,
       {kIdcUsbSettingsFrame, kIdcUsbDevice, kIdcUsbInfo, kIdcUsbEndpointFrame, kIdcUsbNormal,
        kIdcUsbRealTime, kIdcUsbStatusFrame, kIdcUsbLampError, kIdcUsbErrorLabel,
        kIdcUsbLampPaperOut, kIdcUsbPaperOutLabel, kIdcUsbMonitor}},
      {2,
       {kIdcEthFrame, kIdcEthIpLabel, kIdcEthIp, kIdcEthMacLabel, kIdcEthMac, kIdcEthSettingsFrame,
        kIdcEthOutMain, kIdcEthMainPort, kIdcEthOutRealTime, kIdcEthRealTimePort, kIdcEthUsmFrame,
        kIdcEthUsmLabel, kIdcEthUsmPort, kIdcEthAutoReconnect, kIdcEthSetup}}};
  for (const auto& [dialog, ids] : dialogs) {
    CControlMap& map = dialog < 0 ? m_pWindow->Controls() : PanelOf(dialog).Controls();
    for (int id : ids) {
      QWidget* w = map.Find(id);
      ASSERT_NE(w, nullptr) << dialog << " " << id;
      EXPECT_EQ(w->property("ctrlId").toInt(), id);
      if (id != kIdcEthUsmFrame) {  // the USM frame has no caption and names nothing
        EXPECT_FALSE(w->accessibleName().isEmpty()) << dialog << " " << id;
      }
    }
  }
  // A new caption renames the control; a labelled edit keeps its label's name.
  EXPECT_EQ(m_pWindow->Controls().Find(kIdcFileStart)->accessibleName(), QStringLiteral("Start"));
  m_pWindow->SetDlgItemText(kIdcFileStart, "&Abort");
  EXPECT_EQ(m_pWindow->Controls().Find(kIdcFileStart)->accessibleName(), QStringLiteral("Abort"));
  EXPECT_EQ(m_pWindow->GetDlgItemText(kIdcFileStart), "&Abort");
  m_pWindow->SetDlgItemText(kIdcDelay, "25");
  EXPECT_EQ(m_pWindow->Controls().Find(kIdcDelay)->accessibleName(), QStringLiteral("Delay"));
  EXPECT_EQ(m_pWindow->EnableDlgItem(4242, 0), 0);  // no such control
}

// The fields of the window and its three panels, shown as the operator
// reads them and read back; numbers out of range or not numbers refused.
TEST_F(MainWindowTest, FieldsExchangeBothWaysAndRefuseBadNumbers) {
  CMainFields& f = m_fields.main;
  f.m_strFileName = "/tmp/receipt.prn";
  f.m_nStringFormat = 1;
  f.m_nDelay = 300000;
  f.m_nRepeatCount = -1;
  f.m_nInterface = 2;
  f.m_bCreateLog = 1;
  m_fields.serial = {3, 4, 2, 3, 1, 4};
  m_fields.ethernet.m_dwIpAddress = 0x7F000001;
  m_fields.ethernet.m_strMac = "02-00-00-00-00-01";
  m_fields.ethernet.m_nUsmPort = 9110;
  m_fields.usb.m_bMonitor = 1;
  ASSERT_EQ(m_pWindow->UpdateData(0), 1);
  for (int n = 0; n < 3; ++n)
    ASSERT_EQ(m_pWindow->Panel(n).UpdateData(0), 1);
  EXPECT_EQ(m_pWindow->GetDlgItemText(kIdcFileName), "/tmp/receipt.prn");
  EXPECT_EQ(m_pWindow->GetDlgItemText(kIdcDelay), "300000");
  EXPECT_EQ(m_pWindow->GetDlgItemText(kIdcRepeatCount), "-1");
  EXPECT_EQ(m_pWindow->Panel(0).GetDlgItemText(kIdcSerialPort), "COM4");
  EXPECT_EQ(m_pWindow->Panel(0).GetDlgItemText(kIdcSerialBaud), "9600");
  EXPECT_EQ(m_pWindow->Panel(0).GetDlgItemText(kIdcSerialFlow), "Xon / Xoff");
  EXPECT_EQ(m_pWindow->Panel(2).GetDlgItemText(kIdcEthIp), "127.0.0.1");
  EXPECT_EQ(m_pWindow->Panel(2).GetDlgItemText(kIdcEthMac), "02-00-00-00-00-01");
  EXPECT_TRUE(m_pWindow->Controls().Get<QAbstractButton>(kIdcHexRadio)->isChecked());
  EXPECT_TRUE(m_pWindow->Controls().Get<QAbstractButton>(kIdcEthernetRadio)->isChecked());

  const CDialogFields saved = m_fields;
  m_fields = CDialogFields();
  ASSERT_EQ(m_pWindow->UpdateData(1), 1);
  for (int n = 0; n < 3; ++n)
    ASSERT_EQ(m_pWindow->Panel(n).UpdateData(1), 1);
  EXPECT_EQ(f.m_strFileName, saved.main.m_strFileName);
  EXPECT_EQ(f.m_nStringFormat, 1);
  EXPECT_EQ(f.m_nDelay, 300000u);
  EXPECT_EQ(f.m_nRepeatCount, -1);
  EXPECT_EQ(f.m_nInterface, 2);
  EXPECT_EQ(f.m_bCreateLog, 1);
  EXPECT_EQ(m_fields.serial.m_nBaudIndex, 4);
  EXPECT_EQ(m_fields.serial.m_nFlowIndex, 4);
  EXPECT_EQ(m_fields.serial.m_nStopBitsIndex, 1);
  EXPECT_EQ(m_fields.ethernet.m_dwIpAddress, 0x7F000001u);
  EXPECT_EQ(m_fields.ethernet.m_nUsmPort, 9110);
  EXPECT_EQ(m_fields.ethernet.m_strMac, saved.ethernet.m_strMac);
  EXPECT_EQ(m_fields.usb.m_bMonitor, 1);
  EXPECT_TRUE(m_notifier.Texts().empty());

  // -1 clears a radio group.
  f.m_nInterface = -1;
  m_pWindow->UpdateData(0);
  f.m_nInterface = 7;
  m_pWindow->UpdateData(1);
  EXPECT_EQ(f.m_nInterface, -1);

  // Out of range: told, field kept, and the exchange stops before the count.
  for (const char* bad : {"300001", "-1", "12x"}) {
    m_notifier.Clear();
    m_pWindow->SetDlgItemText(kIdcDelay, bad);
    m_pWindow->SetDlgItemText(kIdcRepeatCount, "5");
    f.m_nDelay = 7;
    f.m_nRepeatCount = 1;
    EXPECT_EQ(m_pWindow->UpdateData(1), 0) << bad;
    EXPECT_EQ(f.m_nDelay, 7u);
    EXPECT_EQ(f.m_nRepeatCount, 1);
    EXPECT_EQ(m_notifier.Texts(),
              std::vector<std::string>{"Please enter an integer between 0 and 300000."});
  }

  // A port that is not a number is refused; a partly typed address counts
  // its empty fields as 0.
  m_notifier.Clear();
  m_pWindow->Panel(2).SetDlgItemText(kIdcEthIp, "10.1");
  m_pWindow->Panel(2).SetDlgItemText(kIdcEthMainPort, "91x0");
  m_fields.ethernet.m_nMainPort = 9100;
  EXPECT_EQ(m_pWindow->Panel(2).UpdateData(1), 0);
  EXPECT_EQ(m_fields.ethernet.m_dwIpAddress, 0x0A010000u);
  EXPECT_EQ(m_fields.ethernet.m_nMainPort, 9100);
  EXPECT_EQ(m_notifier.Texts(), std::vector<std::string>{"Please enter an integer."});
}

// Enter on a focused button presses it (its command, the same start or
// abort that the Enter rule of the logic runs).
TEST_F(MainWindowTest, EscapeNeverClosesAndEnterGoesToTheLogicByFocusedId) {
  auto* file = m_pWindow->Controls().Get<QLineEdit>(kIdcFileName);
  ShowAndFocus(file);
  Press(Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_TRUE(m_pWindow->isVisible());
  EXPECT_TRUE(m_sysCommands.empty());

  m_keys.clear();
  auto* combo = m_pWindow->Controls().Get<QComboBox>(kIdcDataString);
  combo->setFocus();
  Press(Qt::Key_Return);
  // Disabled, the box keeps the focus as a dialog control does: Enter still
  // goes by its ID, and enabling it again gives the focus back to it.
  m_pWindow->EnableDlgItem(kIdcDataString, 0);
  Press(Qt::Key_Return);
  m_pWindow->EnableDlgItem(kIdcDataString, 1);
  EXPECT_EQ(m_pWindow->GetFocusId(), kIdcDataString);
  auto* start = m_pWindow->Controls().Get<QAbstractButton>(kIdcFileStart);
  start->setFocus();
  Press(Qt::Key_Enter);
  Press(Qt::Key_A);  // not a key the logic wants
  Press(Qt::Key_Down);
  const std::vector<std::pair<int, int>> want = {
      {VK_RETURN, kIdcDataString}, {VK_RETURN, kIdcDataString}, {VK_DOWN, kIdcFileStart}};
  EXPECT_EQ(m_keys, want);
  QApplication::processEvents();
  EXPECT_EQ(m_commands, std::vector<int>{kIdcFileStart});
}

TEST_F(MainWindowTest, LampsShowTheirStateAndColours) {
  auto* step = m_pWindow->Controls().Get<CLed>(kIdcStepLampSwitchMode);
  ASSERT_NE(step, nullptr);
  const std::vector<std::pair<int, int>> steps = {{1, 1}, {2, 2}, {3, 2}, {0, 0}, {2, 2}};
  for (const auto& [state, shown] : steps) {
    m_pWindow->SetLed(-1, kIdcStepLampSwitchMode, state);
    EXPECT_EQ(step->GetShownColour(), shown) << state;
  }
  // Drawn faces: the round lamp's corner is the grey background, its middle
  // green; the panel lamp has a black border round a red face.
  QImage face = step->grab().toImage();
  EXPECT_EQ(face.size(), QSize(15, 15));
  EXPECT_EQ(face.pixelColor(0, 0), QColor(192, 192, 192));
  QColor mid = face.pixelColor(7, 7);
  EXPECT_GT(mid.green(), 150);
  EXPECT_LT(mid.red(), 100);

  m_pWindow->SetLed(1, kIdcUsbLampError,
                    1);  // USB ERROR, not the serial panel's frame of the same number
  CLed* error = PanelOf(1).Led(kIdcUsbLampError);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->GetShownColour(), 1);
  EXPECT_EQ(PanelOf(0).Led(kIdcSerialPortFrame), nullptr);
  QImage rect = error->grab().toImage();
  EXPECT_EQ(rect.size(), QSize(8, 10));
  EXPECT_EQ(rect.pixelColor(0, 0), QColor(Qt::black));
  EXPECT_EQ(rect.pixelColor(4, 5), QColor(255, 0, 0));
  m_pWindow->SetLed(5, kIdcUsbLampError, 2);  // no such dialog: nothing changes
  EXPECT_EQ(error->GetShownColour(), 1);
}

TEST_F(MainWindowTest, PanelsShowEnableAndFramesDoNotGovernTheirControls) {
  m_pWindow->ShowPanel(1);
  EXPECT_TRUE(PanelOf(0).isHidden());
  EXPECT_FALSE(PanelOf(1).isHidden());
  m_pWindow->ShowPanel(-1);
  EXPECT_FALSE(PanelOf(1).isHidden());

  m_fields.serial.m_nFlowIndex = 4;
  m_fields.ethernet.m_dwIpAddress = 0xC0000201;
  m_pWindow->EnablePanels(0);
  EXPECT_EQ(m_pWindow->Panel(0).IsDlgItemEnabled(kIdcSerialLabelXonXoff), 1);
  EXPECT_EQ(m_pWindow->Panel(0).IsDlgItemEnabled(kIdcSerialBaud), 1);
  EXPECT_EQ(m_pWindow->Panel(2).IsDlgItemEnabled(kIdcEthMainPort), 0);
  EXPECT_EQ(m_pWindow->Panel(2).GetDlgItemText(kIdcEthIp), "192.0.2.1");
  m_fields.serial.m_nFlowIndex = 0;
  m_pWindow->EnablePanels(0);
  EXPECT_EQ(m_pWindow->Panel(0).IsDlgItemEnabled(kIdcSerialLabelXonXoff), 0);
  m_pWindow->EnablePanels(-1);
  EXPECT_EQ(m_pWindow->Panel(0).IsDlgItemEnabled(kIdcSerialBaud), 0);

  // The string group disabled around a running string transfer keeps its
  // abort button usable.
  m_pWindow->EnableDlgItem(kIdcStringGroup, 0);
  m_pWindow->EnableDlgItem(kIdcDataString, 0);
  EXPECT_EQ(m_pWindow->IsDlgItemEnabled(kIdcStringStart), 1);
  EXPECT_EQ(m_pWindow->EnableDlgItem(kIdcDataString, 1), 0);
}

TEST_F(MainWindowTest, MenuFollowsTheAboutTextAndDropsGiveLocalFiles) {
  m_pWindow->BuildSystemMenu("", "Manage Commandes history", "Manage Files history");
  EXPECT_TRUE(m_pWindow->MenuButton()->isHidden());
  m_pWindow->BuildSystemMenu("&About Sendrix...", "Manage Commandes history",
                             "Manage Files history");
  EXPECT_FALSE(m_pWindow->MenuButton()->isHidden());
  QList<QAction*> items = m_pWindow->MenuButton()->menu()->actions();
  ASSERT_EQ(items.size(), 5);
  EXPECT_TRUE(items[0]->isSeparator());
  items[2]->trigger();
  items[4]->trigger();
  const std::vector<UINT> want = {IDM_FILE_HISTORY, IDM_ABOUTBOX};
  EXPECT_EQ(m_sysCommands, want);

  QMimeData mime;
  mime.setUrls({QUrl(QStringLiteral("http://example.invalid/x")),
                QUrl::fromLocalFile(QStringLiteral("/tmp/a b.prn")),
                QUrl::fromLocalFile(QStringLiteral("/tmp/c.prn"))});
  m_pWindow->show();
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(m_pWindow.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(m_pWindow.get(), &drop);
  const std::vector<std::string> files = {"/tmp/a b.prn", "/tmp/c.prn"};
  EXPECT_EQ(m_drops, files);
}

}  // namespace
