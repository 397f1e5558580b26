// Window benchmarks, on the offscreen platform, loopback only:
//   startup_ms              process start to the window shown (no command
//                           line; the splash left out), median of 5 runs
//   startup_with_splash_ms  the same with the 500 ms splash
//   gui_max_stall_ms        the longest gap between ticks of a 5 ms timer
//                           on the window thread while a 256 MiB file goes
//                           to the virtual printer over TCP
//   gui_thread_cpu_ms       CPU time of the window thread during that
//                           transfer (the display's polls are part of it)
//   gui_process_cpu_ms      CPU time of the whole process meanwhile (the
//                           printer runs in it too: sender and receiver)
// One name=value line per figure on stdout; single runs on stderr.
//   window_bench --texts <text library> --dir <work folder> [--mib N]
// (with --child-startup the program is one start-up run of its own.)
#include <sys/wait.h>
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "BenchTools.h"
#include "PrinterSim.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtWindowRunner.h"
#include "platform/ControlIds.h"
#include "session/Session.h"
#include "settings/SettingsStore.h"
#include "testsupport/RecordingNotifier.h"
#include "windowlogic/SendrixApp.h"

namespace {

struct Options {
  std::string texts;
  std::string dir;
  std::string self;
  int mib = 256;
  int port = 0;
  bool splash = false;
};

CSendrixApp::Hooks HooksFor(const Options& o, int mainPort, int rtPort, int usmPort) {
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [=](CSendrixDlg& dlg) {
    CDialogFields& f = dlg.Fields();
    CSettingsStore::ApplyDefaults(f);
    f.main.m_nInterface = 2;
    f.ethernet.m_dwIpAddress = 0x7F000001;
    f.ethernet.m_nMainPort = mainPort;
    f.ethernet.m_nRealTimePort = rtPort;
    f.ethernet.m_nUsmPort = usmPort;
  };
  hooks.textLibraryName = [t = o.texts] { return t; };
  return hooks;
}

// One start-up in this process: prints the monotonic time at which the
// window had been shown and painted.
int ChildStartup(int argc, char** argv, const Options& o) {
  QApplication app(argc, argv);
  CRecordingNotifier quiet;
  SetNotifier(&quiet);
  CSession session;
  CSendrixApp theApp(session, HooksFor(o, o.port, o.port, o.port));
  CQtWindowRunner runner(o.splash);
  runner.SetOnShown([](CMainWindow& window, CSendrixDlg&) {
    window.repaint();
    QApplication::processEvents();
    std::printf("shown_ms=%.3f\n", NowSeconds() * 1e3);
    std::fflush(stdout);
    window.close();
  });
  theApp.InitInstance(runner);
  theApp.ExitInstance();
  SetNotifier(nullptr);
  return quiet.Texts().empty() ? 0 : 1;
}

double StartupRun(const Options& o, int port, bool splash) {
  std::vector<std::string> argv = {o.self,  "--child-startup", "--texts",
                                   o.texts, "--port",          std::to_string(port)};
  if (splash) {
    argv.push_back("--splash");
  }
  int out = -1;
  double t0 = NowSeconds() * 1e3;
  pid_t pid = Spawn(argv, &out);
  if (pid < 0) {
    return -1;
  }
  std::string line = ReadLine(out, 30);
  if (!WaitExit(pid, 10)) {
    Stop(pid);
  }
  size_t eq = line.find("shown_ms=");
  return eq == std::string::npos ? -1 : std::atof(line.c_str() + eq + 9) - t0;
}

// The longest stall of the window thread during one file transfer.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct StallFigures {
  double stallMs = -1;
  double seconds = -1;
  double threadCpuMs = -1;
  double processCpuMs = -1;
};

bool StallRun(int argc, char** argv, const Options& o, CPrinterSim& sim, StallFigures* figures) {
  QApplication app(argc, argv);
  CRecordingNotifier quiet;
  SetNotifier(&quiet);
  std::string path = o.dir + "/stall.bin";
  if (!MakeFile(path, static_cast<uint64_t>(o.mib) << 20, 5)) {
    return false;
  }
  bool done = false;
  CSession session;
  CSendrixApp theApp(session, HooksFor(o, sim.GetMainPort(), sim.GetRtPort(), sim.GetUsmPort()));
  CQtWindowRunner runner(false);
  runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    window.Controls().Get<QLineEdit>(kIdcFileName)->setText(QString::fromStdString(path));
    QElapsedTimer clock;
    double last = 0;
    double worst = 0;
    double worstAt = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      double now = clock.nsecsElapsed() / 1e6;
      if (now - last > worst) {
        worst = now - last;
        worstAt = now;
      }
      last = now;
    });
    tick.start(5);
    clock.start();
    double t0 = NowSeconds();
    const double thread0 = ThreadCpuMs();
    const double process0 = ProcessCpuMs();
    window.Controls().Get<QAbstractButton>(kIdcFileStart)->click();
    QEventLoop wait;  // the window's own loop, as in a real run
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (dlg.GetRunningOperation() == 0 || NowSeconds() - t0 > 600) {
        wait.quit();
      }
    });
    poll.start(20);
    wait.exec();
    figures->seconds = NowSeconds() - t0;
    figures->threadCpuMs = ThreadCpuMs() - thread0;
    figures->processCpuMs = ProcessCpuMs() - process0;
    figures->stallMs = worst;
    std::fprintf(stderr, "longest gap %.1f ms, ending %.1f ms after Start\n", worst, worstAt);
    done = dlg.GetRunningOperation() == 0;
    window.close();
  });
  theApp.InitInstance(runner);
  theApp.ExitInstance();
  SetNotifier(nullptr);
  bool all = sim.WaitFor(
      [&](const SIM_COUNTERS& c) { return c.qwPrintBytes >= (static_cast<uint64_t>(o.mib) << 20); },
      20000);
  std::remove(path.c_str());
  return done && all && quiet.Texts().empty();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Options o;
  o.self = argv[0];
  bool child = false;
  bool parsed = ParseBenchOptions(argc, argv, 1,
                                  {{"--texts", &o.texts},
                                   {"--dir", &o.dir},
                                   {"--mib", &o.mib},
                                   {"--port", &o.port},
                                   {"--splash", &o.splash},
                                   {"--child-startup", &child}});
  if (parsed && child) {
    return ChildStartup(argc, argv, o);
  }
  if (!parsed || o.dir.empty() || o.texts.empty()) {
    std::fprintf(stderr, "usage: window_bench --texts <library> --dir <folder> [--mib N]\n");
    return 2;
  }
  // The program's files and settings go to the work folder.
  setenv("SENDRIX_HOME", (o.dir + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (o.dir + "/config").c_str(), 1);
  SIM_OPTIONS so;
  so.nMainPort = so.nRtPort = so.nUsmPort = 0;
  CPrinterSim sim(so);
  std::string error;
  if (!sim.Start(error)) {
    std::fprintf(stderr, "virtual printer: %s\n", error.c_str());
    return 1;
  }
  for (bool splash : {false, true}) {
    std::vector<double> runs;
    for (int i = 0; i < (splash ? 3 : 5); ++i) {
      runs.push_back(StartupRun(o, sim.GetMainPort(), splash));
      std::fprintf(stderr, "startup%s run %d: %.1f ms\n", splash ? " with splash" : "", i + 1,
                   runs.back());
    }
    std::printf("%s=%.1f\n", splash ? "startup_with_splash_ms" : "startup_ms", Median(runs));
    std::fflush(stdout);
  }
  StallFigures f;
  bool ok = StallRun(argc, argv, o, sim, &f);
  std::fprintf(stderr, "stall run: %d MiB in %.2f s, ok=%d\n", o.mib, f.seconds, ok ? 1 : 0);
  std::printf("gui_max_stall_ms=%.1f\n", ok ? f.stallMs : -1.0);
  std::printf("gui_thread_cpu_ms=%.1f\n", ok ? f.threadCpuMs : -1.0);
  std::printf("gui_process_cpu_ms=%.1f\n", ok ? f.processCpuMs : -1.0);
  sim.Stop();
  return ok ? 0 : 1;
}
