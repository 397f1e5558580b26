// The Qt window over the window logic, end to end: a file sent to the
// virtual printer over loopback TCP by typing its name and clicking Start.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "PrinterSim.h"
#include "Sha256.h"
#include "mainwnd/HexListView.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtWindowRunner.h"
#include "platform/ControlIds.h"
#include "settings/SettingsStore.h"
#include "settings/WindowPlacementStore.h"
#include "testsupport/EngineTestSupport.h"
#include "windowlogic/SendrixDlg.h"

namespace {

class WindowEndToEndTest : public CEngineTest {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    setenv("XDG_CONFIG_HOME", (m_strHome + "/config").c_str(), 1);  // the saved placement
    std::filesystem::create_directories(m_strHome + "/config/sendrix");
    m_bConnected = true;  // the fixture's tear-down ends the library set-up
    SIM_OPTIONS o;
    o.nMainPort = o.nRtPort = o.nUsmPort = 0;
    m_pSim = std::make_unique<CPrinterSim>(o);
    std::string error;
    ASSERT_TRUE(m_pSim->Start(error)) << error;
    CDialogFields& f = m_dlg.Fields();
    f.main.m_nInterface = 2;
    f.ethernet.m_dwIpAddress = 0x7F000001;
    f.ethernet.m_nMainPort = m_pSim->GetMainPort();
    f.ethernet.m_nRealTimePort = m_pSim->GetRtPort();
    f.ethernet.m_nUsmPort = m_pSim->GetUsmPort();
    f.ethernet.m_nOutputPort = 0;
  }
  void TearDown() override {
    CEngineTest::TearDown();
    m_pSim->Stop();
  }

  std::unique_ptr<CPrinterSim> m_pSim;
  CQtWindowRunner m_runner{false};  // outlives the logic: the workers post to it
  CSendrixDlg m_dlg;
};

TEST_F(WindowEndToEndTest, FileTypedAndStartedReachesThePrinterAndTheWindowComesBack) {
  const std::string path = MakeFile("receipt.prn", 3 * 1024 * 1024 + 5, 9);
  bool ran = false;
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    ran = true;
    CControlMap& c = window.Controls();
    auto* start = c.Get<QAbstractButton>(1003);
    ASSERT_TRUE(start->isEnabled()) << "the port did not open";
    auto* file = c.Get<QLineEdit>(1002);
    file->clear();
    QTest::keyClicks(file, QString::fromStdString(path));
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(dlg.GetRunningOperation(), OP_FILE_TRANSFER);
    EXPECT_FALSE(c.Find(1002)->isEnabled());
    EXPECT_FALSE(c.Find(1300)->isEnabled());
    EXPECT_TRUE(start->isEnabled());  // the abort button
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.GetRunningOperation() == OP_IDLE; }, 30000));
    EXPECT_EQ(c.Get<QProgressBar>(1006)->value(), 100);
    EXPECT_EQ(c.Get<QLabel>(1033)->text(), QStringLiteral("100 %"));
    for (int id : {1003, 1026, 1002, 1025, 1027, 1001, 1014, 1043, 1300, 1069, 1005}) {
      EXPECT_TRUE(c.Find(id)->isEnabled()) << id;
    }
    window.close();
  });
  m_runner.RunModal(m_dlg);
  ASSERT_TRUE(ran);
  std::vector<BYTE> sent = ReadWhole(path);
  ASSERT_TRUE(
      m_pSim->WaitFor([&](const SIM_COUNTERS& s) { return s.qwPrintBytes >= sent.size(); }, 10000));
  CSha256 sha;
  sha.Update(sent.data(), sent.size());
  EXPECT_EQ(m_pSim->GetSha256(), sha.HexDigest());
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
  EXPECT_TRUE(m_runner.Target().IsClosed());
}

// A status request sent as a hex string by its Start button: the reply shows
// in words under the lists with the bit table as tooltip, and the list keeps
// the byte as it came. Then the cover opens and shuts: the automatic status
// on the USM channel says so, the change highlighted.
// SENDRIX_STATUS_SHOT=FILE.png keeps a picture of the window after the reply.
TEST_F(WindowEndToEndTest, StatusRequestAndAutomaticStatusShowInWordsUnderTheLists) {
  auto setState = [&](const char* list) {
    CPrinterState state;
    std::string error;
    ASSERT_TRUE(CPrinterState::Parse(list, state, error)) << error;
    m_pSim->SetState(state);
  };
  setState("paper-near-end");
  CMainFields& f = m_dlg.Fields().main;
  f.m_nStringFormat = 1;
  f.m_strDataString = "10 04 04";
  f.m_bShowUsm = 1;
  bool ran = false;
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg&) {
    ran = true;
    auto* line = window.findChild<QLabel*>("statusLine");
    ASSERT_NE(line, nullptr);
    QTest::mouseClick(window.Controls().Get<QAbstractButton>(1027), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line->text().isEmpty(); }, 10000));
    EXPECT_EQ(line->text(), QStringLiteral("status DLE EOT 4: paper near end"));
    EXPECT_TRUE(line->toolTip().contains("bit 2 = 1  paper near end"))
        << line->toolTip().toStdString();
    EXPECT_TRUE(line->styleSheet().isEmpty());
    const CHexRows& rows = window.Controls().Get<CHexListView>(1028)->Rows();
    ASSERT_EQ(rows.ByteCount(), 1u);
    BYTE shown[CHexRows::kRowBytes] = {};
    ASSERT_EQ(rows.RowBytes(rows.RowCount() - 1, shown), 1);
    EXPECT_EQ(shown[0], 0x1E);
    if (const char* shot = std::getenv("SENDRIX_STATUS_SHOT")) {
      QTest::qWait(200);
      EXPECT_TRUE(window.grab().save(shot));
    }
    ASSERT_TRUE(
        m_pSim->WaitFor([](const SIM_COUNTERS& c) { return c.nUsmConnections > 0; }, 10000));
    setState("paper-near-end,cover-open");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return line->text().startsWith("status automatic"); }, 10000));
    EXPECT_EQ(
        line->text(),
        QStringLiteral("status automatic: offline, cover open, paper near end, drawer closed"));
    setState("paper-near-end");
    ASSERT_TRUE(QTest::qWaitFor([&] { return line->text().contains("changed"); }, 10000));
    EXPECT_EQ(line->text(), QStringLiteral("status automatic: online, paper near end, drawer "
                                           "closed; changed: online, cover closed"));
    EXPECT_FALSE(line->styleSheet().isEmpty());
    EXPECT_EQ(window.Controls().Get<CHexListView>(1045)->Rows().ByteCount(), 8u);
    window.close();
  });
  m_runner.RunModal(m_dlg);
  ASSERT_TRUE(ran);
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

// The "JSON Log" box ticked by a click: a string sent from the window is
// logged in Output/Sendrix.jsonl as a -J: run logs it, every line valid JSON,
// and the choice survives the settings' save and reload.
TEST_F(WindowEndToEndTest, JsonLogBoxLogsTheWindowsRunsAndIsSaved) {
  CMainFields& f = m_dlg.Fields().main;
  f.m_nStringFormat = 0;
  f.m_strDataString = "Hello";
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    auto* box = window.Controls().Get<QCheckBox>(kIdcJsonLog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("JSON Log"));
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::mouseClick(window.Controls().Get<QAbstractButton>(1027), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.GetRunningOperation() == OP_IDLE; }, 10000));
    window.close();
  });
  m_runner.RunModal(m_dlg);
  ASSERT_TRUE(m_pSim->WaitFor([](const SIM_COUNTERS& s) { return s.qwPrintBytes >= 5; }, 10000));

  std::vector<std::string> events;
  std::map<std::string, QJsonObject> last;  // by event
  const std::vector<BYTE> log = ReadWhole(m_strHome + "/Output/Sendrix.jsonl");
  for (const QByteArray& line :
       QByteArray(reinterpret_cast<const char*>(log.data()), static_cast<qsizetype>(log.size()))
           .split('\n')) {
    if (line.isEmpty())
      continue;
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    ASSERT_TRUE(doc.isObject()) << line.toStdString();
    const QJsonObject o = doc.object();
    events.push_back(o["event"].toString().toStdString());
    last[events.back()] = o;
  }
  EXPECT_EQ(events, (std::vector<std::string>{"start", "tx", "done"}));
  EXPECT_EQ(last["start"]["action"].toString(), QStringLiteral("send-ascii-string"));
  EXPECT_EQ(last["start"]["target"].toString(),
            QString::fromStdString("127.0.0.1:" + std::to_string(m_pSim->GetMainPort())));
  EXPECT_EQ(last["tx"]["bytes"].toInt(), 5);
  EXPECT_EQ(last["done"]["outcome"].toString(), QStringLiteral("completed"));

  ASSERT_EQ(CSettingsStore().SaveSettings(m_dlg.Fields(), CHistoryLists()), 1);
  CDialogFields back;
  CHistoryLists h;
  CSettingsStore().LoadSettings(back, h);
  EXPECT_EQ(back.main.m_bJsonLog, 1);
}

// A screen reader's toggle on the Serial radio does what a click does: the
// logic takes the new interface and shows its panel.
TEST_F(WindowEndToEndTest, ToggleActionOnAnInterfaceRadioSwitchesAsAClickDoes) {
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    QAccessibleInterface* serial =
        QAccessible::queryAccessibleInterface(window.Controls().Find(1014));
    serial->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(dlg.Fields().main.m_nInterface, 0);
    EXPECT_TRUE(dynamic_cast<QWidget&>(window.Panel(0)).isVisible());
    EXPECT_FALSE(dynamic_cast<QWidget&>(window.Panel(2)).isVisible());
    window.close();
  });
  m_runner.RunModal(m_dlg);
  EXPECT_EQ(m_dlg.Fields().main.m_nInterface, 0);  // what the settings store saves
}

// A window closed minimised is saved so, and opens minimised again.
TEST_F(WindowEndToEndTest, AWindowClosedMinimisedIsSavedSo) {
  m_runner.SetOnShown([](CMainWindow& window, CSendrixDlg&) {
    window.showMinimized();
    window.close();
  });
  m_runner.RunModal(m_dlg);
  CWindowPlacement placement;
  ASSERT_EQ(CWindowPlacementStore().Load(&placement), 1);
  EXPECT_EQ(placement.m_nShowCmd, CWindowPlacement::kShowMinimized);
}

TEST_F(WindowEndToEndTest, AWindowSavedMinimisedOpensMinimised) {
  CWindowPlacement placement;
  placement.m_nX = 40;
  placement.m_nY = 30;
  placement.m_nShowCmd = CWindowPlacement::kShowMinimized;
  ASSERT_EQ(CWindowPlacementStore().Save(placement), 1);
  bool minimised = false;
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg&) {
    minimised = window.isMinimized();
    window.close();
  });
  m_runner.RunModal(m_dlg);
  EXPECT_TRUE(minimised);
}

}  // namespace
