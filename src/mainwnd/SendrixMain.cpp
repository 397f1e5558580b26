// The operator's window program (`sendrix` becomes it when there is a
// display): the Qt window over the window logic. Qt's own
// options (-platform and the like) are taken out of the command line before
// the program's parser sees it (batch/ProgramArguments.h).
//
// Headless (started directly with no display, or Qt's platform
// "offscreen"): the batch action runs with no window at all, as `sendrix`
// runs it (windowlogic/HeadlessProgram.h); Qt is never started.
// SIGINT, SIGTERM and SIGHUP abort the running action as its Abort button
// does, or close the window when none runs; the handler only sets a flag and
// writes to a pipe that the window thread watches (platform/StopRequest.h).
// It is installed before anything else, so a signal at any moment counts.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <cstdio>

#include "batch/BatchExitRule.h"
#include "batch/CommandLine.h"
#include "batch/ProgramArguments.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtNotifier.h"
#include "mainwnd/QtWindowRunner.h"
#include "platform/StopRequest.h"
#include "session/Session.h"
#include "windowlogic/HeadlessProgram.h"
#include "windowlogic/ProgramHooks.h"
#include "windowlogic/SendrixApp.h"
#include "windowlogic/StoredSettings.h"

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Qt's notes about the missing runtime folder say nothing to the operator.
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.contains(QLatin1String("XDG_RUNTIME_DIR")))
    return;
  if (g_qtHandler != nullptr)
    g_qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  const int stopPipe = InstallStopSignals();
  CBatchExitRule::GuardClosedStdout();
  CProgramArguments arguments(argc, argv);
  if (arguments.AsksForVersion()) {
    std::printf("%s\n", ProgramVersionLine());
    return ReportLostOutput() ? kBatchExitFailed : 0;
  }
  if (RunsHeadless(arguments))
    return RunHeadlessProgram(arguments, stopPipe);

  g_qtHandler = qInstallMessageHandler(FilterQtMessages);
  QApplication app(arguments.QtArgc(), arguments.QtArgv());
  const CCommandLine commandLine(arguments.Tokens());
  CQtNotifier notifier;
  // The boxes are counted for the exit status of a batch run.
  CBatchExitRule exitRule(notifier);
  SetNotifier(&exitRule);
  CStoredSettings settings;
  settings.SetStderrEcho(true);
  int exitStatus = -1;

  CMainWindow* shownWindow = nullptr;
  CSendrixDlg* shownDlg = nullptr;
  std::unique_ptr<QSocketNotifier> stopWatch;
  if (stopPipe >= 0) {
    stopWatch = std::make_unique<QSocketNotifier>(stopPipe, QSocketNotifier::Read);
    QObject::connect(stopWatch.get(), &QSocketNotifier::activated, [&] {
      DrainStopPipe();
      if (shownDlg == nullptr)
        return;
      if (!shownDlg->AbortRunningOperation())
        shownWindow->PostClose();
    });
  }

  CSession session;
  CSendrixApp theApp(session, MakeProgramHooks(settings, commandLine, exitStatus));
  CQtWindowRunner runner(!commandLine.HasCommandLine());
  runner.SetNotifier(&notifier);
  runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    shownWindow = &window;
    shownDlg = &dlg;
    if (IsStopRequested())  // came before the window could watch for it
      window.PostClose();
  });
  theApp.InitInstance(runner);
  shownWindow = nullptr;
  shownDlg = nullptr;
  theApp.ExitInstance();
  // Worker threads that are still blocked on their events never report
  // again; a late message box goes to stderr.
  notifier.Close();
  SetNotifier(nullptr);
  const bool outputLost = ReportLostOutput();
  if (!commandLine.HasCommandLine())
    return 0;
  return exitRule.Final(exitStatus, IsStopRequested(), outputLost);
}
