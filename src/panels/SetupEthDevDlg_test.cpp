// The device setup dialog driven as an operator would (clicks, typing,
// keys), against the virtual printer's discovery and setup face on loopback
// UDP, or a scripted discovery where a second device is needed.
#include "panels/SetupEthDevDlg.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <cstring>

#include "PrinterSim.h"
#include "comm/Cablox.h"
#include "platform/MessageQueue.h"
#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"

namespace {

// A plain TCP client of the printer's main port: 1 connected.
int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when the peer closed (end of stream or reset) within timeoutMs.
bool PeerClosed(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0)
    return false;
  char byte;
  return ::recv(fd, &byte, 1, 0) <= 0;
}

}  // namespace

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
  // Frames sent through the library, recorded by command word.
  CSetupEthDevLogic::Hooks RecordingHooks(bool realWait) {
    CSetupEthDevLogic::Hooks hooks;
    hooks.sendFrame = [this](const std::string& frame) {
      m_words << QString::fromLatin1(frame.substr(3, 4).c_str());
      return Comm_SetDeviceParams(frame.c_str());
    };
    if (!realWait) {
      hooks.sleepMs = [this](unsigned ms) { m_waits << static_cast<int>(ms); };
    }
    return hooks;
  }

  CRecordingNotifier m_notifier;
  CMessageQueue m_owner;
  std::unique_ptr<CPrinterSim> m_sim;
  QStringList m_words;
  QList<int> m_waits;

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
    m_waits.clear();
  }
  void cleanup() {
    Comm_CloseCleanuo();
    m_sim->Stop();
    m_sim.reset();
    SetNotifier(nullptr);
  }

  void updateWithNewAddressSendsChipThenRestAndSearchesAgain() {
    CSetupEthDevDlg dlg("", nullptr, RecordingHooks(false));
    dlg.show();
    QVERIFY(!dlg.Control(1128)->isEnabled());
    Click(dlg, 1127);
    QCOMPARE(dlg.List()->topLevelItemCount(), 1);
    SelectRow(dlg, 0);
    QVERIFY(dlg.Control(1128)->isEnabled());
    QCOMPARE(Edit(dlg, 1133)->text(), QStringLiteral("127.0.0.1"));
    Type(dlg, 1133, "10.0.0.5");
    Click(dlg, 1128);
    QCOMPARE(m_words, (QStringList{"CHIP", "REST"}));
    QCOMPARE(m_waits, QList<int>{3000});
    QCOMPARE(m_sim->GetCounters().qwDiscoveries, uint64_t{2});
    QCOMPARE(dlg.List()->topLevelItem(0)->text(0), QStringLiteral("10.0.0.5"));
    QVERIFY(dlg.Control(1128)->isEnabled());  // the selection is kept
    QVERIFY(dlg.BlockingRuns() >= 4);         // each library call off the GUI thread
  }

  void cancelAtTheAddressQuestionSendsNothing() {
    CSetupEthDevLogic::Hooks hooks = RecordingHooks(false);
    hooks.discover = [](int& count, CSetupEthDevLogic::Table& table) {
      const char* records[] = {"K\t10.0.0.9\t02-11-22-33-44-55\tFoo\t",
                               "K\t10.0.0.10\t02-00-00-00-00-01\tBar\t"};
      count = 2;
      for (int i = 0; i < 2; ++i)
        std::snprintf(table[i], sizeof table[i], "%s", records[i]);
      return 1;
    };
    CSetupEthDevDlg dlg("", nullptr, hooks);
    dlg.show();
    Click(dlg, 1127);
    QCOMPARE(dlg.List()->topLevelItem(0)->text(0), QStringLiteral("10.0.0.10"));
    SelectRow(dlg, 1);
    Type(dlg, 1133, "10.0.0.10");
    m_notifier.Clear();
    m_notifier.SetAnswer(IDCANCEL);
    QTest::keyClick(Edit(dlg, 1133), Qt::Key_Return);  // Enter in the address updates
    QCOMPARE(m_notifier.Texts().size(), size_t{1});    // the question, asked once
    QVERIFY(m_words.isEmpty());
    QCOMPARE(m_sim->GetCounters().qwSetupFrames, uint64_t{0});
  }

  void enterAndEscapeNeverCloseAndEveryControlIsNamed() {
    CSetupEthDevDlg dlg("", nullptr, RecordingHooks(false));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (int id : {1, 1126, 1127, 1128, 1130, 1133, 1134, 1136, 1138, 1140}) {
      QVERIFY2(!dlg.Control(id)->accessibleName().isEmpty(), qPrintable(QString::number(id)));
    }
    dlg.Control(1)->setFocus();
    QTest::keyClick(dlg.Control(1), Qt::Key_Return);
    QTest::keyClick(dlg.Control(1), Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    QCOMPARE(m_sim->GetCounters().qwDiscoveries, uint64_t{0});
    dlg.Control(1127)->setFocus();
    QTest::keyClick(dlg.Control(1127), Qt::Key_Return);  // Enter on Search searches
    QCOMPARE(dlg.List()->topLevelItemCount(), 1);
    QVERIFY(dlg.isVisible());
    Click(dlg, 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
  }

  // Search, rename and re-address the virtual printer, with the real
  // 3000 ms restart wait: the dialog keeps its event loop running with the
  // wait cursor, and the restart drops the printer's TCP connections.
  void endToEndRenameAndReaddress() {
    int client = ConnectLoopback(m_sim->GetMainPort());
    QVERIFY(client >= 0);
    QVERIFY(m_sim->WaitFor([](const SIM_COUNTERS& c) { return c.nMainConnections == 1; }, 2000));
    CSetupEthDevDlg dlg("", nullptr, RecordingHooks(true));
    dlg.show();
    Click(dlg, 1127);
    SelectRow(dlg, 0);
    QCOMPARE(dlg.List()->topLevelItem(0)->text(1), QStringLiteral("SIMPRN"));
    // The documentation's picture, when asked for.
    if (!qEnvironmentVariableIsEmpty("SENDRIX_PICTURES_DIR")) {
      QVERIFY(dlg.grab().save(qEnvironmentVariable("SENDRIX_PICTURES_DIR") + "/setup-devices.png"));
    }
    Type(dlg, 1133, "127.0.0.2");
    Type(dlg, 1134, "RENAMED");
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
    Click(dlg, 1128);
    probe.stop();
    QVERIFY(clock.elapsed() >= 3000);
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));  // the loop never froze
    QVERIFY(waitCursorTicks >= 20);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_words, (QStringList{"CHIP", "CHNO", "REST"}));
    QCOMPARE(dlg.List()->topLevelItemCount(), 1);
    QCOMPARE(dlg.List()->topLevelItem(0)->text(0), QStringLiteral("127.0.0.2"));
    QCOMPARE(dlg.List()->topLevelItem(0)->text(1), QStringLiteral("RENAMED"));
    QVERIFY(PeerClosed(client, 2000));
    QVERIFY(m_sim->GetCounters().qwDrops >= 1);
    QCOMPARE(m_sim->GetCounters().nMainConnections, 0);
    ::close(client);
  }
};

QTEST_MAIN(SetupEthDevDlgTest)
#include "SetupEthDevDlg_test.moc"
