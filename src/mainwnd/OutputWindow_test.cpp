// The output window: the trim at the text limit, closing hides, calls from
// other threads run on the window's thread and return once done, a call on
// the window's thread runs at once, and destroying the window releases a
// caller whose call is still queued.
#include <QPlainTextEdit>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "comm/Cablox.h"
#include "mainwnd/OutputWinDlg.h"
#include "mainwnd/OutputWindow.h"

namespace {

// A caller whose call is still queued is released well within this of the
// window's destruction.
constexpr int kReleasedWithinMs = 2500;

}  // namespace

class OutputWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void appendTrimsTheFirst8192CharactersOverTheLimitLess2048() {
    COutputWindow window;
    COutputWinDlg* dlg = window.Dialog();
    QString text;
    for (int i = 0; text.size() < COutputWinDlg::kTrimAbove; ++i)
      text += QString("%1\n").arg(i, 7, 10, QChar('0'));  // 8 characters a line
    text.truncate(COutputWinDlg::kTrimAbove);
    QCOMPARE(window.Append(text.toLatin1().constData()), 1);
    QCOMPARE(window.Append("x"), 1);  // at the limit less 2048: no trim yet
    QCOMPARE(dlg->TextLength(), COutputWinDlg::kTrimAbove + 1);
    QCOMPARE(window.Append("yz"), 1);  // over it: the first 8192 go first
    QCOMPARE(dlg->TextLength(), COutputWinDlg::kTrimAbove + 1 - 8192 + 2);
    QVERIFY(dlg->Text().startsWith("0001024\n"));
    QVERIFY(dlg->Text().endsWith("xyz"));
    QCOMPARE(window.Append(nullptr), 1);  // a null text changes nothing
    QCOMPARE(dlg->TextLength(), COutputWinDlg::kTrimAbove + 1 - 8192 + 2);
  }

  void callsFromAnotherThreadRunOnTheWindowsThreadAndClosingOnlyHides() {
    COutputWindow window;
    COutputWinDlg* dlg = window.Dialog();
    std::atomic<int> step{0};
    std::atomic<int> results{0};
    std::thread worker([&] {
      results += window.Show(1);
      results += window.Append("line 1\r\n");
      results += window.Clear();
      results += window.Append("line 2\r\n");
      step = 1;
    });
    QVERIFY(QTest::qWaitFor([&] { return step.load() == 1; }, 5000));
    worker.join();
    QCOMPARE(results.load(), 4);
    QCOMPARE(dlg->Text(), QString("line 2\n"));
    QVERIFY(dlg->isVisible());
    // Closing only hides it; shown again, the same text comes back.
    QVERIFY(dlg->close() == false);
    QVERIFY(!dlg->isVisible() && window.Exists());
    QCOMPARE(window.Show(1), 1);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->Text(), QString("line 2\n"));
    window.ShowPortProperties();  // no interface set up in this program
    QCOMPARE(dlg->Text(), QString("No interface is set up.\n"));
    QVERIFY(!dlg->Edit()->accessibleName().isEmpty());
  }

  void destroyingTheWindowReleasesAQueuedCall() {
    COutputWindow window;
    std::atomic<bool> posted{false};
    std::atomic<int> result{-1};
    auto started = std::chrono::steady_clock::now();
    std::thread worker([&] {
      posted = true;
      result = window.Append("never shown");
    });
    // The GUI thread runs no events: the call stays queued until the window
    // goes, which must release the caller at once rather than at its time-out.
    while (!posted.load())
      std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCOMPARE(window.Destroy(), 1);
    worker.join();
    auto waited = std::chrono::steady_clock::now() - started;
    QCOMPARE(result.load(), 0);
    QVERIFY(waited < std::chrono::milliseconds(kReleasedWithinMs));
    QCOMPARE(window.Append("after"), 0);
    QCOMPARE(window.Show(1), 0);
    QVERIFY(!window.Exists());
  }
};

int RunOutputWindowTests(int argc, char** argv) {
  OutputWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "OutputWindow_test.moc"
