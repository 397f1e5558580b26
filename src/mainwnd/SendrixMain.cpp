// The operator's program: the Qt window over the window logic. Qt's own
// options (-platform and the like) are taken out of the command line by
// QApplication before the program's parser sees it.
//
// Headless: with no display (neither DISPLAY nor WAYLAND_DISPLAY), or with
// "-platform offscreen", the same window runs unseen: message boxes go to
// stderr (nobody could click a modal box), the progress goes to stderr, and
// the process ends with the batch action's exit status (CommandLine.h).
// SIGINT, SIGTERM and SIGHUP abort the running action as its Abort button
// does, or close the window when none runs; the handler only sets a flag and
// writes to a pipe that the window thread watches (platform/StopRequest.h).
// It is installed before anything else, so a signal at any moment counts.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "batch/BatchExitRule.h"
#include "batch/CommandLine.h"
#include "batch/HeadlessProgress.h"
#include "batch/HeadlessRows.h"
#include "batch/ProgramArguments.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtNotifier.h"
#include "mainwnd/QtWindowRunner.h"
#include "platform/StopRequest.h"
#include "settings/OsVersion.h"
#include "windowlogic/SendrixApp.h"
#include "windowlogic/StoredSettings.h"

namespace {

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Answers every box without showing it: the trial parse below must not
// repeat the messages the real one shows.
class CSilentNotifier : public INotifier {
 public:
  int MessageBox(const char*, UINT) override { return IDOK; }
};

// A headless batch action that keeps the window open afterwards ("-W:0")
// would never end. The trial parse changes nothing the window keeps.
int RefusesToStayOpen(const CCommandLine& commandLine) {
  CSilentNotifier silent;
  SetNotifier(&silent);
  CCommandLine trial = commandLine;
  trial.SetHelpOutput(nullptr);
  CDialogFields fields;
  CBatchRun run;
  const int mode = trial.ParseCommandLine(fields, run);
  SetNotifier(nullptr);
  return BatchExitStatusForMode(mode) == -1 && run.m_bAutoCloseWindow == 0;
}

QtMessageHandler g_qtHandler = nullptr;

// The offscreen platform's notes about what it cannot do, and the missing
// runtime folder, say nothing to a script reading stderr.
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.contains(QLatin1String("propagateSizeHints")) ||
      text.contains(QLatin1String("XDG_RUNTIME_DIR")))
    return;
  if (g_qtHandler != nullptr)
    g_qtHandler(type, context, text);
}

// What stdout could not take is lost for the script: said on stderr.
bool ReportLostOutput() {
  if (!CBatchExitRule::OutputLost(stdout))
    return false;
  std::fprintf(stderr, "Sendrix: the output could not be written to stdout: %s\n",
               std::strerror(errno));
  return true;
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
  if (!HasDisplay())
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  g_qtHandler = qInstallMessageHandler(FilterQtMessages);
  QApplication app(arguments.QtArgc(), arguments.QtArgv());
  const bool headless = QGuiApplication::platformName() == QLatin1String("offscreen");
  const CCommandLine commandLine(arguments.Tokens());
  if (headless && RefusesToStayOpen(commandLine)) {
    std::fprintf(stderr,
                 "Sendrix: -W:0 keeps the window open after the action, and a headless run "
                 "has no window to close: leave -W:0 out.\n");
    return kBatchExitNoAction;
  }
  if (headless && !commandLine.HasCommandLine()) {
    // Nobody could work in an unseen window, or close it but by a signal.
    std::fprintf(stderr,
                 "Sendrix: there is no display and no action on the command line: give one "
                 "(sendrix String -M:Mode ...; sendrix -M: shows the syntax), or run with a "
                 "display.\n");
    return kBatchExitNoAction;
  }

  CQtNotifier notifier;
  // Headless, the boxes go to stderr (the default notifier); either way they
  // are counted for the exit status.
  CBatchExitRule exitRule(headless ? GetNotifier() : notifier);
  SetNotifier(&exitRule);
  CHeadlessProgress progress(stderr, isatty(STDERR_FILENO) == 1);
  CHeadlessRows rows(stdout);
  CStoredSettings settings;
  settings.SetStderrEcho(!headless);  // headless, the notifier itself writes to stderr
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [&](CSendrixDlg& dlg) {
    settings.Load(dlg);
    dlg.SetCommandLine(commandLine);
    if (headless) {
      dlg.m_bHeadless = 1;
      dlg.SetProgressEcho(&progress);
      dlg.SetRowEcho(&rows);
    }
  };
  int exitStatus = -1;
  hooks.saveSettings = [&](CSendrixDlg& dlg) {
    settings.Save(dlg);
    exitStatus = dlg.BatchExitStatus();
    // Closed while its action ran: the shutdown cuts the action short.
    if (exitStatus == -1 && dlg.GetRunningOperation() != OP_IDLE)
      exitStatus = kBatchExitAborted;
  };
  hooks.checkOSVersion = [](std::string& text) { return CheckOSVersion(&text); };
  hooks.textLibraryName = [&settings] { return settings.TextLibraryName(); };

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

  CSendrixApp theApp(hooks);
  CQtWindowRunner runner(!commandLine.HasCommandLine() && !headless);
  if (!headless)
    runner.SetNotifier(&notifier);
  else
    runner.SetRowEcho(&rows);
  runner.SetSavesPlacement(!headless);
  runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    shownWindow = &window;
    shownDlg = &dlg;
    if (IsStopRequested())  // came before the window could watch for it
      window.PostClose();
  });
  theApp.InitInstance(runner);
  rows.FlushPartial();
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
