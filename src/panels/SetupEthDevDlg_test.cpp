// The device setup dialog driven as an operator would (clicks, typing,
// keys), against the virtual printer's discovery and setup face on loopback
// UDP. The rules behind it are tested without Qt in app/SetupEthDevLogic.
#include "panels/SetupEthDevDlg.h"

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

#include "PrinterSim.h"
#include "SimTestClient.h"
#include "comm/Cablox.h"
#include "platform/MessageQueue.h"
#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"

class SetupEthDevDlgTest : public QObject {
  Q_OBJECT

 private:
  static void Click(CSetupEthDevDlg& dlg, int id) {
    QTest::mouseClick(static_cast<QPushButton*>(dlg.Control(id)), Qt::LeftButton);
  }
  static QLineEdit* Edit(CSetupEthDevDlg& dlg, int id) {
    return static_cast<QLineEdit*>(dlg.Control(id));
  }
  static void SelectRow(CSetupEthDevDlg& dlg, int row) {
    QTreeWidget* list = dlg.List();
    QTreeWidgetItem* item = list->topLevelItem(row);
    QVERIFY(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
  }
  static void Type(CSetupEthDevDlg& dlg, int id, const QString& text) {
    QLineEdit* edit = Edit(dlg, id);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  // Frames sent through the library, recorded by command word, marked when
  // the printer did not acknowledge them.
  CSetupEthDevLogic::Hooks RecordingHooks() {
    CSetupEthDevLogic::Hooks hooks;
    hooks.sendFrame = [this](const std::string& frame) {
      const int acknowledged = Comm_SetDeviceParams(frame.c_str());
      m_words << QString::fromLatin1(frame.substr(3, 4).c_str()) + (acknowledged ? "" : " failed");
      return acknowledged;
    };
    return hooks;
  }

  CRecordingNotifier m_notifier;
  CMessageQueue m_owner;
  std::unique_ptr<CPrinterSim> m_sim;
  QStringList m_words;

 private slots:
  void init() {
    SetNotifier(&m_notifier);
    SIM_OPTIONS options;
    options.nMainPort = options.nRtPort = options.nUsmPort = 0;
    options.nUdpPort = 0;
    options.strName = "SIMPRN";
    options.strMac = "02-11-22-33-44-55";
    m_sim = std::make_unique<CPrinterSim>(options);
    std::string error;
    QVERIFY2(m_sim->Start(error), error.c_str());
    setenv("SENDRIX_DISCOVERY_ADDR", "127.0.0.1", 1);
    setenv("SENDRIX_DISCOVERY_PORT", std::to_string(m_sim->GetUdpPort()).c_str(), 1);
    QVERIFY(Comm_OpenSetup(&m_owner, COMM_TYPE_TCPIP));
    m_words.clear();
  }
  void cleanup() {
    Comm_CloseCleanuo();
    m_sim->Stop();
    m_sim.reset();
    SetNotifier(nullptr);
  }

  void enterAndEscapeNeverCloseAndEveryControlIsNamed() {
    CSetupEthDevDlg dlg("", nullptr, RecordingHooks());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (int id : {kIdcDevOk, kIdcDevList, kIdcDevSearch, kIdcDevUpdate, kIdcDevReboot,
                   kIdcDevNewIp, kIdcDevNewName, kIdcDevIpLabel, kIdcDevNameLabel, kIdcDevGroup}) {
      QVERIFY2(!dlg.Control(id)->accessibleName().isEmpty(), qPrintable(QString::number(id)));
    }
    dlg.Control(1)->setFocus();
    QTest::keyClick(dlg.Control(1), Qt::Key_Return);
    QTest::keyClick(dlg.Control(1), Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    QCOMPARE(m_sim->GetCounters().qwDiscoveries, uint64_t{0});
    dlg.Control(kIdcDevSearch)->setFocus();
    QTest::keyClick(dlg.Control(kIdcDevSearch), Qt::Key_Return);  // Enter on Search searches
    QCOMPARE(dlg.List()->topLevelItemCount(), 1);
    QVERIFY(dlg.isVisible());
    Click(dlg, 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
  }

  // Search, rename and re-address the virtual printer, with the real
  // 3000 ms restart wait: every frame acknowledged, every library call off
  // the GUI thread, the event loop kept running with the wait cursor, the
  // restart dropping the printer's TCP connections, the new search keeping
  // the row.
  void endToEndRenameAndReaddress() {
    int client = simtest::ConnectTcp(m_sim->GetMainPort());
    QVERIFY(client >= 0);
    QVERIFY(m_sim->WaitFor([](const SIM_COUNTERS& c) { return c.nMainConnections == 1; }, 2000));
    CSetupEthDevDlg dlg("", nullptr, RecordingHooks());
    dlg.show();
    QVERIFY(!dlg.Control(kIdcDevUpdate)->isEnabled());
    Click(dlg, kIdcDevSearch);
    QCOMPARE(dlg.List()->topLevelItemCount(), 1);
    SelectRow(dlg, 0);
    QVERIFY(dlg.Control(kIdcDevUpdate)->isEnabled());
    QCOMPARE(Edit(dlg, kIdcDevNewIp)->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(dlg.List()->topLevelItem(0)->text(1), QStringLiteral("SIMPRN"));
    // The documentation's picture, when asked for.
    if (!qEnvironmentVariableIsEmpty("SENDRIX_PICTURES_DIR")) {
      QVERIFY(dlg.grab().save(qEnvironmentVariable("SENDRIX_PICTURES_DIR") + "/setup-devices.png"));
    }
    Type(dlg, kIdcDevNewIp, "127.0.0.2");
    Type(dlg, kIdcDevNewName, "RENAMED");
    int ticks = 0;
    int waitCursorTicks = 0;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
      ++ticks;
      const QCursor* c = QApplication::overrideCursor();
      if (c && c->shape() == Qt::WaitCursor)
        ++waitCursorTicks;
    });
    probe.start(100);
    QElapsedTimer clock;
    clock.start();
    Click(dlg, kIdcDevUpdate);
    probe.stop();
    QVERIFY(clock.elapsed() >= 3000);
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));  // the loop never froze
    QVERIFY(waitCursorTicks >= 20);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_words, (QStringList{"CHIP", "CHNO", "REST"}));
    QCOMPARE(dlg.List()->topLevelItemCount(), 1);
    QCOMPARE(dlg.List()->topLevelItem(0)->text(0), QStringLiteral("127.0.0.2"));
    QCOMPARE(dlg.List()->topLevelItem(0)->text(1), QStringLiteral("RENAMED"));
    QVERIFY(dlg.Control(kIdcDevUpdate)->isEnabled());
    QCOMPARE(m_sim->GetCounters().qwDiscoveries, uint64_t{2});
    QVERIFY(dlg.BlockingRuns() >= 4);
    QVERIFY(simtest::WaitForClose(client, 2000));
    QVERIFY(m_sim->GetCounters().qwDrops >= 1);
    QCOMPARE(m_sim->GetCounters().nMainConnections, 0);
    ::close(client);
  }
};

QTEST_MAIN(SetupEthDevDlgTest)
#include "SetupEthDevDlg_test.moc"
#include "platform/ControlIds.h"
