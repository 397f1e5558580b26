// The Qt window over the window logic, end to end: a file sent to the
// virtual printer over loopback TCP by typing its name and clicking Start.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTime>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "PrinterSim.h"
#include "Sha256.h"
#include "engine/ReceivedDataFile.h"
#include "mainwnd/HexListView.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtWindowRunner.h"
#include "platform/ControlIds.h"
#include "session/Session.h"
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
  CSession m_session;
  CSendrixDlg m_dlg{m_session};
};

TEST_F(WindowEndToEndTest, FileTypedAndStartedReachesThePrinterAndTheWindowComesBack) {
  const std::string path = MakeFile("receipt.prn", 3 * 1024 * 1024 + 5, 9);
  bool ran = false;
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    ran = true;
    CControlMap& c = window.Controls();
    auto* start = c.Get<QAbstractButton>(kIdcFileStart);
    ASSERT_TRUE(start->isEnabled()) << "the port did not open";
    auto* file = c.Get<QLineEdit>(kIdcFileName);
    file->clear();
    QTest::keyClicks(file, QString::fromStdString(path));
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(dlg.GetRunningOperation(), OP_FILE_TRANSFER);
    EXPECT_FALSE(c.Find(kIdcFileName)->isEnabled());
    EXPECT_FALSE(c.Find(kIdcEthernetRadio)->isEnabled());
    EXPECT_TRUE(start->isEnabled());  // the abort button
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.GetRunningOperation() == OP_IDLE; }, 30000));
    EXPECT_EQ(c.Get<QProgressBar>(kIdcProgressBar)->value(), 100);
    EXPECT_EQ(c.Get<QLabel>(kIdcProgressPercent)->text(), QStringLiteral("100 %"));
    for (int id : {kIdcFileStart, kIdcBrowse, kIdcFileName, kIdcFileList, kIdcStringStart,
                   kIdcDataString, kIdcSerialRadio, kIdcUsbRadio, kIdcEthernetRadio,
                   kIdcPacketProtocol, kIdcFirmwareStart}) {
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
    auto* line = window.Controls().Get<QLabel>(kIdcStatusLine);
    ASSERT_NE(line, nullptr);
    QTest::mouseClick(window.Controls().Get<QAbstractButton>(kIdcStringStart), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line->text().isEmpty(); }, 10000));
    EXPECT_EQ(line->text(), QStringLiteral("status DLE EOT 4: paper near end"));
    EXPECT_TRUE(line->toolTip().contains("bit 2 = 1  paper near end"))
        << line->toolTip().toStdString();
    EXPECT_TRUE(line->styleSheet().isEmpty());
    const CHexRows& rows = window.Controls().Get<CHexListView>(kIdcRxDataList)->Rows();
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
    EXPECT_EQ(window.Controls().Get<CHexListView>(kIdcRxUsmList)->Rows().ByteCount(), 8u);
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
    QTest::mouseClick(window.Controls().Get<QAbstractButton>(kIdcStringStart), Qt::LeftButton);
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

// Clear Buffer empties the status line with the lists: a status shown
// after the clear belongs to what the lists hold.
TEST_F(WindowEndToEndTest, ClearBufferClearsTheStatusLine) {
  CPrinterState state;
  std::string error;
  ASSERT_TRUE(CPrinterState::Parse("paper-near-end", state, error)) << error;
  m_pSim->SetState(state);
  CMainFields& f = m_dlg.Fields().main;
  f.m_nStringFormat = 1;
  f.m_strDataString = "10 04 04";
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg&) {
    auto* line = window.Controls().Get<QLabel>(kIdcStatusLine);
    ASSERT_NE(line, nullptr);
    QTest::mouseClick(window.Controls().Get<QAbstractButton>(kIdcStringStart), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line->text().isEmpty(); }, 10000));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(line);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Printer status"));
    EXPECT_EQ(a->text(QAccessible::Value), line->text());
    QTest::mouseClick(window.Controls().Get<QAbstractButton>(kIdcClearBuffer), Qt::LeftButton);
    EXPECT_TRUE(line->text().isEmpty()) << line->text().toStdString();
    EXPECT_TRUE(line->toolTip().isEmpty());
    window.close();
  });
  m_runner.RunModal(m_dlg);
}

// The "Show Time" box: off at first, the list as before; a click shows
// when each row's first block came, " +" where another starts inside the
// row, and changes no byte shown or kept; Clear Buffer forgets the times;
// the choice is saved and a window opened with it shows the column.
TEST_F(WindowEndToEndTest, TimeColumnShowsArrivalTimesAndLeavesTheBytesAlone) {
  const std::vector<uint8_t> first(20, 0x41), second = {0x10, 0x00, 0x42, 0x43, 0x0A};
  const QRegularExpression kTime(R"(^\d\d:\d\d:\d\d\.\d\d\d( \+)?$)");
  auto shownBytes = [](const CHexListView* list) {
    std::vector<BYTE> all;
    BYTE row[CHexRows::kRowBytes];
    for (std::uint64_t r = 0; r < list->RowCount(); ++r)
      all.insert(all.end(), row, row + list->Rows().RowBytes(r, row));
    return all;
  };
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg&) {
    auto* box = window.Controls().Get<QCheckBox>(kIdcShowTime);
    auto* list = window.Controls().Get<CHexListView>(kIdcRxDataList);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Show Time"));
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(list->HasRowLabel());
    EXPECT_TRUE(list->Header()->isSectionHidden(2));
    const QTime before = QTime::currentTime().addMSecs(-1);
    m_pSim->Send(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Rows().ByteCount() == 20; }, 10000));
    QTest::qWait(150);  // a pause well beyond the 20 ms gap
    m_pSim->Send(second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Rows().ByteCount() == 25; }, 10000));
    const QTime after = QTime::currentTime().addMSecs(1);
    std::string hexBefore, asciiBefore;
    ASSERT_TRUE(list->Rows().RowText(1, &hexBefore, &asciiBefore));

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(list->HasRowLabel());
    EXPECT_FALSE(list->Header()->isSectionHidden(2));
    EXPECT_EQ(list->Header()->visualIndex(2), 0);  // before Hex
    const QString row0 = list->RowLabelText(0), row1 = list->RowLabelText(1);
    EXPECT_TRUE(kTime.match(row0).hasMatch()) << row0.toStdString();
    EXPECT_FALSE(row0.endsWith('+'));
    EXPECT_EQ(row1, row0 + " +");  // block 1's tail, then block 2
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(list)->tableInterface();
    ASSERT_EQ(table->columnCount(), 3);  // a screen reader reads the times too
    EXPECT_EQ(table->columnDescription(2), QStringLiteral("Time"));
    EXPECT_EQ(table->cellAt(1, 2)->text(QAccessible::Name), row1);
    const QTime at = QTime::fromString(row0.left(12), "HH:mm:ss.zzz");
    EXPECT_TRUE(at >= before && at <= after) << row0.toStdString();
    std::string hex, ascii;
    ASSERT_TRUE(list->Rows().RowText(1, &hex, &ascii));
    EXPECT_EQ(hex + ascii, hexBefore + asciiBefore);
    std::vector<BYTE> sent(first.begin(), first.end());
    sent.insert(sent.end(), second.begin(), second.end());
    EXPECT_EQ(shownBytes(list), sent);
    // What Save As writes: the received bytes, never the times.
    std::string reason;
    ASSERT_TRUE(CReceivedDataFile::SaveCopy(m_session.Engine(), m_strHome + "/saved.bin", &reason))
        << reason;
    EXPECT_EQ(ReadWhole(m_strHome + "/saved.bin"), sent);

    QTest::mouseClick(window.Controls().Get<QAbstractButton>(kIdcClearBuffer), Qt::LeftButton);
    EXPECT_TRUE(list->RowLabelText(0).isEmpty());
    m_pSim->Send({0x31, 0x32});
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Rows().ByteCount() == 2; }, 10000));
    const QString fresh = list->RowLabelText(0);
    EXPECT_TRUE(kTime.match(fresh).hasMatch()) << fresh.toStdString();
    EXPECT_GE(QTime::fromString(fresh.left(12), "HH:mm:ss.zzz"), after.addMSecs(-1));
    window.close();
  });
  m_runner.RunModal(m_dlg);
  ASSERT_EQ(CSettingsStore().SaveSettings(m_dlg.Fields(), CHistoryLists()), 1);
  CHistoryLists h;
  CSettingsStore().LoadSettings(m_dlg.Fields(), h);
  EXPECT_EQ(m_dlg.Fields().main.m_bShowTime, 1);
  EXPECT_EQ(m_dlg.Fields().main.m_nRxBlockGapMs, 20);
}

TEST_F(WindowEndToEndTest, ASavedTimeColumnComesBackOn) {
  m_dlg.Fields().main.m_bShowTime = 1;
  bool shown = false;
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg&) {
    shown = window.Controls().Get<QCheckBox>(kIdcShowTime)->isChecked() &&
            window.Controls().Get<CHexListView>(kIdcRxDataList)->HasRowLabel() &&
            window.Controls().Get<CHexListView>(kIdcRxUsmList)->HasRowLabel();
    window.close();
  });
  m_runner.RunModal(m_dlg);
  EXPECT_TRUE(shown);
}

// A screen reader's toggle on the Serial radio does what a click does: the
// logic takes the new interface and shows its panel.
TEST_F(WindowEndToEndTest, ToggleActionOnAnInterfaceRadioSwitchesAsAClickDoes) {
  m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    QAccessibleInterface* serial =
        QAccessible::queryAccessibleInterface(window.Controls().Find(kIdcSerialRadio));
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
