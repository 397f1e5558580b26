// Abort in the window by a real pointer click, on an X server (run it under
// src/testsupport/XvfbRun.sh; bench/run does), against the virtual printer over
// loopback TCP. Start and Abort are clicked through XTest at the button's
// centre, as an operator clicks them:
//   window_abort_latency_ms       during a continuous run of a 100-byte file
//                                 with no delay, 1 s after Start
//   window_abort_file_latency_ms  during a 16 MiB file taken by a printer
//                                 that reads 4 MB/s, 1 s after Start
// Each is the median of --runs runs (5) of the time from the click to the
// window showing the run ended: the logic idle, the button saying Start
// again and the file box enabled. One name=value line per figure on stdout;
// single runs on stderr.
//   window_abort_bench --texts <text library> --dir <work folder> [--runs N]
// (with --child the program is one window session of its own, printing
// abort_ms=N per run.)
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTools.h"
#include "PrinterSim.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtWindowRunner.h"
#include "mainwnd/RealInput.h"
#include "platform/ControlIds.h"
#include "session/Session.h"
#include "settings/SettingsStore.h"
#include "testsupport/RecordingNotifier.h"
#include "windowlogic/SendrixApp.h"

namespace {

constexpr int kStartButton = kIdcFileStart;
constexpr int kFileEdit = kIdcFileName;
constexpr int kRunningMs = 1000;  // how long a run goes before Abort
constexpr int kEndWaitMs = 30000;
constexpr uint64_t kLongFileBytes = 16ull << 20;
constexpr uint32_t kSlowPrinterBytesPerS = 4000000;

struct Options {
  std::string texts;
  std::string dir;
  std::string self;
  std::string file;
  int runs = 5;
  int mainPort = 0;
  int rtPort = 0;
  int usmPort = 0;
  bool continuous = false;
  bool child = false;
};

bool Ended(CMainWindow& window, CSendrixDlg& dlg) {
  auto* start = window.Controls().Get<QAbstractButton>(kStartButton);
  return dlg.GetRunningOperation() == 0 && start->text().remove('&') == QStringLiteral("Start") &&
         window.Controls().Find(kFileEdit)->isEnabled();
}

// One run: click Start, let it go, click Abort; the ms from that click to
// the window showing the end, or -1.
double AbortRun(CRealInput& input, CMainWindow& window, CSendrixDlg& dlg) {
  auto* start = window.Controls().Get<QAbstractButton>(kStartButton);
  input.ClickCentre(start);
  if (!QTest::qWaitFor([&] { return dlg.GetRunningOperation() != 0; }, kEndWaitMs)) {
    return -1;
  }
  QTest::qWait(kRunningMs);
  if (dlg.GetRunningOperation() == 0) {
    return -1;  // it ended by itself: nothing was aborted
  }
  const double t0 = NowSeconds();
  input.ClickCentre(start);
  while (!Ended(window, dlg) && NowSeconds() - t0 < kEndWaitMs / 1e3) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  const double ms = (NowSeconds() - t0) * 1e3;
  QTest::qWait(300);  // the printer settles before the next run
  return Ended(window, dlg) ? ms : -1;
}

int ChildSession(int argc, char** argv, const Options& o) {
  QApplication app(argc, argv);
  CRealInput input;
  if (!input.IsOpen()) {
    std::fprintf(stderr, "no X display: run under XvfbRun.sh\n");
    return 1;
  }
  CRecordingNotifier quiet;
  SetNotifier(&quiet);
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [&o](CSendrixDlg& dlg) {
    CDialogFields& f = dlg.Fields();
    CSettingsStore::ApplyDefaults(f);
    f.main.m_nInterface = 2;
    f.main.m_strFileName = o.file;
    f.main.m_bRepeat = o.continuous ? 1 : 0;
    f.main.m_nRepeatCount = o.continuous ? -1 : 1;
    f.main.m_nDelay = 0;
    f.ethernet.m_dwIpAddress = 0x7F000001;
    f.ethernet.m_nMainPort = o.mainPort;
    f.ethernet.m_nRealTimePort = o.rtPort;
    f.ethernet.m_nUsmPort = o.usmPort;
  };
  hooks.textLibraryName = [t = o.texts] { return t; };
  CSession session;
  CSendrixApp theApp(session, hooks);
  CQtWindowRunner runner(false);
  runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    window.move(0, 0);
    window.activateWindow();
    // Without a window manager the window may never report itself active;
    // the clicks go to its place on screen either way.
    if (!QTest::qWaitForWindowActive(&window))
      std::fprintf(stderr, "window_abort_bench: the window is not active\n");
    window.Controls().Get<QLineEdit>(kFileEdit)->setText(QString::fromStdString(o.file));
    for (int i = 0; i < o.runs; ++i) {
      std::printf("abort_ms=%.1f\n", AbortRun(input, window, dlg));
      std::fflush(stdout);
    }
    window.close();
  });
  theApp.InitInstance(runner);
  theApp.ExitInstance();
  SetNotifier(nullptr);
  for (const std::string& box : quiet.Texts()) {
    std::fprintf(stderr, "box: %s\n", box.c_str());
  }
  return 0;
}

// Runs one session in a child against a printer of this process; prints
// the figure.
bool Figure(const Options& o, const char* name, bool continuous) {
  SIM_OPTIONS so;
  so.nMainPort = so.nRtPort = so.nUsmPort = 0;
  if (!continuous) {
    so.faults.m_dwThrottle = kSlowPrinterBytesPerS;
  }
  CPrinterSim sim(so);
  std::string error;
  if (!sim.Start(error)) {
    std::fprintf(stderr, "virtual printer: %s\n", error.c_str());
    return false;
  }
  const std::string file = o.dir + (continuous ? "/small.prn" : "/long.prn");
  if (!MakeFile(file, continuous ? 100 : kLongFileBytes, 7)) {
    return false;
  }
  std::vector<std::string> argv = {o.self,        "--child",
                                   "--texts",     o.texts,
                                   "--dir",       o.dir,
                                   "--file",      file,
                                   "--runs",      std::to_string(o.runs),
                                   "--main-port", std::to_string(sim.GetMainPort()),
                                   "--rt-port",   std::to_string(sim.GetRtPort()),
                                   "--usm-port",  std::to_string(sim.GetUsmPort())};
  if (continuous) {
    argv.push_back("--continuous");
  }
  int out = -1;
  const pid_t pid = Spawn(argv, &out);
  if (pid < 0) {
    return false;
  }
  std::vector<double> runs;
  bool all = true;
  for (int i = 0; i < o.runs; ++i) {
    const std::string line = ReadLine(out, 60);
    const size_t eq = line.find("abort_ms=");
    const double ms = eq == std::string::npos ? -1 : std::atof(line.c_str() + eq + 9);
    std::fprintf(stderr, "%s run %d: %.1f ms\n", name, i + 1, ms);
    all = all && ms >= 0;
    runs.push_back(ms);
  }
  if (!WaitExit(pid, 20)) {
    Stop(pid);
  }
  sim.Stop();
  std::remove(file.c_str());
  std::printf("%s=%.1f\n", name, all ? Median(runs) : -1.0);
  std::fflush(stdout);
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.self = argv[0];
  const bool parsed = ParseBenchOptions(argc, argv, 1,
                                        {{"--texts", &o.texts},
                                         {"--dir", &o.dir},
                                         {"--file", &o.file},
                                         {"--runs", &o.runs},
                                         {"--main-port", &o.mainPort},
                                         {"--rt-port", &o.rtPort},
                                         {"--usm-port", &o.usmPort},
                                         {"--continuous", &o.continuous},
                                         {"--child", &o.child}});
  if (!parsed || o.dir.empty() || o.texts.empty() || o.runs < 1) {
    std::fprintf(stderr, "usage: window_abort_bench --texts <library> --dir <folder> [--runs N]\n");
    return 2;
  }
  // The program's files and settings go to the work folder.
  setenv("SENDRIX_HOME", (o.dir + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (o.dir + "/config").c_str(), 1);
  if (o.child) {
    return ChildSession(argc, argv, o);
  }
  const bool continuous = Figure(o, "window_abort_latency_ms", true);
  const bool file = Figure(o, "window_abort_file_latency_ms", false);
  return continuous && file ? 0 : 1;
}
