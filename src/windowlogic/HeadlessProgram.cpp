#include "windowlogic/HeadlessProgram.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "batch/BatchExitRule.h"
#include "batch/CommandLine.h"
#include "batch/HeadlessProgress.h"
#include "batch/HeadlessRows.h"
#include "platform/Notifier.h"
#include "platform/StopRequest.h"
#include "session/Session.h"
#include "windowlogic/HeadlessRunner.h"
#include "windowlogic/ProgramHooks.h"
#include "windowlogic/SendrixApp.h"
#include "windowlogic/StoredSettings.h"

namespace {

// Answers every box without showing it: the trial parse below must not
// repeat the messages the real one shows.
class CSilentNotifier : public INotifier {
 public:
  int MessageBox(const char*, UINT) override { return IDOK; }
};

// A headless batch action that keeps the window open afterwards ("-W:0")
// would never end. The trial parse changes nothing the window keeps.
bool RefusesToStayOpen(const CCommandLine& commandLine) {
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

const char kOffscreen[] = "offscreen";

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool RunsHeadless(const CProgramArguments& arguments) {
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY"))
    return true;
  const std::string platform = arguments.QtPlatform();
  if (!platform.empty())
    return platform == kOffscreen;
  const char* env = std::getenv("QT_QPA_PLATFORM");
  return env != nullptr && std::strcmp(env, kOffscreen) == 0;
}

bool ReportLostOutput() {
  if (!CBatchExitRule::OutputLost(stdout))
    return false;
  std::fprintf(stderr, "Sendrix: the output could not be written to stdout: %s\n",
               std::strerror(errno));
  return true;
}

int RunHeadlessProgram(const CProgramArguments& arguments, int stopPipe) {
  const CCommandLine commandLine(arguments.Tokens());
  if (RefusesToStayOpen(commandLine)) {
    std::fprintf(stderr,
                 "Sendrix: -W:0 keeps the window open after the action, and a headless run "
                 "has no window to close: leave -W:0 out.\n");
    return kBatchExitNoAction;
  }
  if (!commandLine.HasCommandLine()) {
    // Nobody could work in an unseen window, or close it but by a signal.
    std::fprintf(stderr,
                 "Sendrix: there is no display and no action on the command line: give one "
                 "(sendrix String -M:Mode ...; sendrix -M: shows the syntax), or run with a "
                 "display.\n");
    return kBatchExitNoAction;
  }

  // The boxes go to stderr (the default notifier), counted for the exit status.
  CBatchExitRule exitRule(GetNotifier());
  SetNotifier(&exitRule);
  CHeadlessProgress progress(stderr, isatty(STDERR_FILENO) == 1);
  CHeadlessRows rows(stdout);
  CStoredSettings settings;
  settings.SetStderrEcho(false);  // the notifier itself writes to stderr
  int exitStatus = -1;
  CSession session;
  CSendrixApp theApp(session,
                     MakeProgramHooks(settings, commandLine, exitStatus, [&](CSendrixDlg& dlg) {
                       dlg.Batch().m_bHeadless = 1;
                       dlg.SetProgressEcho(&progress);
                       dlg.SetRowEcho(&rows);
                     }));
  CHeadlessRunner runner(stopPipe);
  runner.SetRowEcho(&rows);
  theApp.InitInstance(runner);
  rows.FlushPartial();
  theApp.ExitInstance();
  SetNotifier(nullptr);
  const bool outputLost = ReportLostOutput();
  return exitRule.Final(exitStatus, IsStopRequested(), outputLost);
}
