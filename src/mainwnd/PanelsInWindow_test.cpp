// The three interface panels in the real window, joined to the window's
// logic: the serial port list with pseudo-terminal links, the lamps from
// status words, and the Ethernet port edits against the virtual printer on
// loopback TCP. Offscreen platform.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "PrinterSim.h"
#include "comm/Cablox.h"
#include "mainwnd/MainWindow.h"
#include "panels/Led.h"
#include "panels/PanelBase.h"
#include "platform/AppMessages.h"
#include "platform/ControlIds.h"
#include "platform/MessageQueue.h"
#include "session/Session.h"
#include "testsupport/RecordingNotifier.h"
#include "windowlogic/SendrixDlg.h"

namespace {

class PanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNotifier(&m_notifier);
    m_pWindow = std::make_unique<CMainWindow>(m_dlg.Fields());
    // The panels' part of the window runner's joining.
    CMainWindowHooks hooks;
    hooks.onPanelCommand = [this](int panel, int id) { m_dlg.OnPanelCommand(panel, id); };
    hooks.onPanelEnter = [this](int panel, int) { m_dlg.OnPanelEnter(panel); };
    m_pWindow->SetHooks(hooks);
    Panel(0).SetDropDownHandler([this](int id) { m_dlg.OnPanelDropDown(0, id); });
    m_dlg.Attach(m_pWindow.get(), nullptr, &m_owner, nullptr);
  }
  void TearDown() override {
    m_dlg.OnSysCommand(0xF060);  // the window's close: readers stopped, port closed
    Comm_CloseCleanuo();
    m_pWindow.reset();
    SetNotifier(nullptr);
  }
  CPanelBase& Panel(int n) { return static_cast<CPanelBase&>(m_pWindow->Panel(n)); }
  int Lamp(int panel, int id) { return Panel(panel).Led(id)->GetState(); }

  CRecordingNotifier m_notifier;
  CMessageQueue m_owner;
  CSession m_session;
  CSendrixDlg m_dlg{m_session};
  std::unique_ptr<CMainWindow> m_pWindow;
};

// Dropping the port list down asks the library again: a pseudo-terminal
// link made after the window opened is listed (the order of the list is
// tested in app/InterfacePanels).
TEST_F(PanelsTest, PortListDroppedDownListsAPtyLinkMadeSince) {
  const char* base = std::getenv("SENDRIX_TEST_TMP");
  const std::filesystem::path link =
      std::filesystem::path(base ? base : "/tmp") / ("ttyW-qtpanels-" + std::to_string(getpid()));
  setenv("SENDRIX_EXTRA_SERIAL_PORTS", link.c_str(), 1);
  m_dlg.Fields().main.m_nInterface = 0;
  ASSERT_NE(Comm_OpenSetup(&m_owner, COMM_TYPE_SERIAL), 0);
  auto* ports = Panel(0).Controls().Get<QComboBox>(kIdcSerialPort);
  m_pWindow->show();
  const QString name = QString::fromStdString(link.string());
  EXPECT_EQ(ports->findText(name), -1);
  int master = -1, slave = -1;
  char path[128];
  ASSERT_EQ(openpty(&master, &slave, path, nullptr, nullptr), 0);
  std::filesystem::remove(link);
  std::filesystem::create_symlink(path, link);
  ports->showPopup();  // as the operator opens the list
  ports->hidePopup();
  EXPECT_GE(ports->findText(name), 0);
  unsetenv("SENDRIX_EXTRA_SERIAL_PORTS");
  std::filesystem::remove(link);
  close(master);
  close(slave);
}

// The status word reaches the lamps of the interface in use: serial lines
// green when set (XON only with flow 4, hidden otherwise), USB error and
// paper-out red when set.
TEST_F(PanelsTest, StatusWordsLightTheLampsOfTheInterfaceInUse) {
  const struct {
    int interfaceType, flow;
    DWORD status;
    int panel, id, state;
  } kCases[] = {{0, 1, 0x30, 0, kIdcSerialLampDsr, CLed::Green},
                {0, 1, 0x30, 0, kIdcSerialLampCts, CLed::Green},
                {0, 1, 0x30, 0, kIdcSerialLampRing, CLed::Red},
                {0, 1, 0x30, 0, kIdcSerialLampDcd, CLed::Red},
                {0, 1, 0x30, 0, kIdcSerialLampXonXoff, CLed::Hidden},
                {0, 4, 0x30, 0, kIdcSerialLampXonXoff, CLed::Red},
                {0, 4, 0x130, 0, kIdcSerialLampXonXoff, CLed::Green},
                {1, 0, 0x1, 1, kIdcUsbLampError, CLed::Red},
                {1, 0, 0x1, 1, kIdcUsbLampPaperOut, CLed::Green}};
  for (const auto& c : kCases) {
    m_dlg.Fields().main.m_nInterface = c.interfaceType;
    m_dlg.Fields().serial.m_nFlowIndex = c.flow;
    m_dlg.OnLineStatus(c.status, false);
    EXPECT_EQ(Lamp(c.panel, c.id), c.state) << c.id << " " << std::hex << c.status;
    EXPECT_EQ(Panel(c.panel).Led(c.id)->isHidden(), c.state == CLed::Hidden);
  }
}

TEST_F(PanelsTest, EditedPortDisablesActionsUntilEnterReconnects) {
  SIM_OPTIONS options;
  options.nMainPort = options.nRtPort = options.nUsmPort = 0;
  CPrinterSim sim(options);
  std::string error;
  ASSERT_TRUE(sim.Start(error)) << error;
  CEthernetFields& eth = m_dlg.Fields().ethernet;
  eth.m_dwIpAddress = 0x7F000001u;
  eth.m_nMainPort = 1;  // nothing listens there: the edit will fix it
  eth.m_nRealTimePort = sim.GetRtPort();
  eth.m_nUsmPort = sim.GetUsmPort();
  eth.m_nOutputPort = 0;
  eth.m_bAutoReconnect = 1;
  m_dlg.Fields().main.m_nInterface = 2;
  m_pWindow->show();
  m_dlg.UpdateAll(0);
  m_dlg.ShowInterfacePanel(2);

  auto* mainPort = Panel(2).Controls().Get<QLineEdit>(kIdcEthMainPort);
  QApplication::setActiveWindow(m_pWindow.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_pWindow.get()));
  mainPort->setFocus();
  QApplication::processEvents();
  mainPort->selectAll();
  QTest::keyClicks(mainPort, QString::number(sim.GetMainPort()));
  EXPECT_EQ(m_pWindow->IsDlgItemEnabled(kIdcReceiveGroup), 0);
  EXPECT_EQ(m_pWindow->IsDlgItemEnabled(kIdcFileStart), 0);
  QTest::keyClick(mainPort, Qt::Key_Return);
  EXPECT_EQ(eth.m_nMainPort, sim.GetMainPort());
  EXPECT_EQ(m_pWindow->IsDlgItemEnabled(kIdcReceiveGroup), 1);
  EXPECT_TRUE(sim.WaitFor([](const SIM_COUNTERS& c) { return c.nMainConnections >= 1; }, 3000));
  m_dlg.OnSysCommand(0xF060);
  sim.Stop();
}

}  // namespace
