// Drives the window the way an operator would, on whatever Qt platform runs
// it (offscreen in scripts), with the settings of $XDG_CONFIG_HOME:
//
//   sendrix-window-demo --job [--repeat N --delay MS] [--hex "10 04 01"]
//       shows the window, sends the file of the file list's first row by
//       clicking Start, then the data string, and prints what the window
//       showed on the way; exit status 0 when every job ended with the
//       controls back and no message box.
//   sendrix-window-demo --shots <folder>
//       writes window-serial.png, window-usb.png and window-ethernet.png: the
//       window with each interface selected (the panels only; no port is
//       opened for the shots but the one the settings name). When the string
//       box holds a request and Start is enabled, the request is sent first,
//       so the receive buffer shows the printer's reply.
//   sendrix-window-demo --first-shot <file>
//       writes the window as it first comes up to <file>.
//   sendrix-window-demo --icons <folder>
//       writes the program's icon as <folder>/<n>x<n>/apps/sendrix.png for
//       the installed hicolor theme (packaging/icons); no window.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "comm/SerialPortList.h"
#include "mainwnd/AppIcon.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtWindowRunner.h"
#include "panels/PanelBase.h"
#include "platform/ControlIds.h"
#include "platform/Notifier.h"
#include "session/Session.h"
#include "windowlogic/SendrixApp.h"
#include "windowlogic/StoredSettings.h"

namespace {

// Nobody is there to click a message box: each one is kept, answered OK, and
// listed at the end of the job.
class CDemoNotifier : public INotifier {
 public:
  int MessageBox(const char* text, UINT) override {
    std::lock_guard<std::mutex> hold(m_lock);
    m_texts.emplace_back(text != nullptr ? text : "");
    return IDOK;
  }
  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_texts;
  }

 private:
  mutable std::mutex m_lock;
  std::vector<std::string> m_texts;
};

struct Options {
  std::string shots;
  std::string firstShot;
  bool job = false;
  int repeat = 0;
  int delay = 0;
  std::string hex;
};

std::string Text(CMainWindow& w, int id) {
  return w.GetDlgItemText(id);
}

// Runs the window's loop until the operation has ended (or 60 s); with
// progress, prints it each time it passes another quarter.
bool WaitIdle(CMainWindow& window, CSendrixDlg& dlg, bool progress) {
  QEventLoop wait;
  QTimer poll;
  int shown = -1;
  int ticks = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    int percent = window.Controls().Get<QProgressBar>(kIdcProgressBar)->value();
    if (progress && (percent / 25 != shown / 25 || shown < 0)) {
      shown = percent;
      std::printf(
          "  progress %s  pass %s\n", Text(window, kIdcProgressPercent).c_str(),
          Text(window, kIdcRepeatNumber).empty() ? "-" : Text(window, kIdcRepeatNumber).c_str());
    }
    if (dlg.GetRunningOperation() == OP_IDLE || ++ticks > 3000) {
      wait.quit();
    }
  });
  poll.start(20);
  wait.exec();
  return dlg.GetRunningOperation() == OP_IDLE;
}

bool Restored(CMainWindow& window) {
  for (int id : {kIdcFileStart, kIdcBrowse, kIdcFileName, kIdcFileList, kIdcStringStart,
                 kIdcDataString, kIdcSerialRadio, kIdcUsbRadio, kIdcEthernetRadio}) {
    if (!window.IsDlgItemEnabled(id)) {
      std::printf("  control %d still disabled\n", id);
      return false;
    }
  }
  return true;
}

bool RunJob(CMainWindow& window, CSendrixDlg& dlg, const Options& o, CDemoNotifier& boxes) {
  std::printf("window: \"%s\"\n", window.windowTitle().toLocal8Bit().constData());
  const CEthernetFields& e = dlg.Fields().ethernet;
  std::printf(
      "interface: %s, printer %u.%u.%u.%u port %d; Start %s\n",
      Text(window, kIdcEthernetRadio).c_str(), e.m_dwIpAddress >> 24, (e.m_dwIpAddress >> 16) & 255,
      (e.m_dwIpAddress >> 8) & 255, e.m_dwIpAddress & 255, e.m_nMainPort,
      window.IsDlgItemEnabled(kIdcFileStart) ? "enabled (connected)" : "disabled (not connected)");
  bool ok = window.IsDlgItemEnabled(kIdcFileStart) != 0;
  if (ok) {
    if (o.repeat > 0) {
      window.Controls().Get<QAbstractButton>(kIdcRepeat)->click();
      window.SetDlgItemText(kIdcRepeatCount, std::to_string(o.repeat));
      window.SetDlgItemText(kIdcDelay, std::to_string(o.delay));
    }
    std::printf("file: %s%s\n", Text(window, kIdcFileName).c_str(),
                o.repeat > 0 ? (", " + std::to_string(o.repeat) + " passes " +
                                std::to_string(o.delay) + " ms apart")
                                   .c_str()
                             : "");
    window.Controls().Get<QAbstractButton>(kIdcFileStart)->click();
    std::printf("Start clicked: the button reads \"%s\"\n", Text(window, kIdcFileStart).c_str());
    ok = WaitIdle(window, dlg, true);
    std::printf("file done: progress %s, rate %s %s, the button reads \"%s\"\n",
                Text(window, kIdcProgressPercent).c_str(), Text(window, kIdcRate).c_str(),
                Text(window, kIdcRateLabel).c_str(), Text(window, kIdcFileStart).c_str());
    ok = ok && Restored(window);
  }
  if (ok && !o.hex.empty()) {
    window.Controls().Get<QRadioButton>(kIdcHexRadio)->click();
    window.Controls().Get<QComboBox>(kIdcDataString)->setEditText(QString::fromStdString(o.hex));
    window.Controls().Get<QAbstractButton>(kIdcStringStart)->click();
    ok = WaitIdle(window, dlg, false) && Restored(window);
    std::printf("data string \"%s\" (Hex) sent\n", Text(window, kIdcDataString).c_str());
  }
  for (const std::string& box : boxes.Texts()) {
    std::printf("message box: %s\n", box.c_str());
  }
  std::printf("message boxes: %zu\n", boxes.Texts().size());
  return ok && boxes.Texts().empty();
}

// Lets the posted layout requests of a panel switch reach the window before
// it is grabbed, as the event loop would between two paints.
bool Grab(CMainWindow& window, const QString& path) {
  QApplication::processEvents();
  window.layout()->activate();
  QApplication::processEvents();
  if (!window.grab().save(path)) {
    return false;
  }
  std::printf("%s\n", path.toLocal8Bit().constData());
  return true;
}

// Sends the string box's request and gives the reply 300 ms to be shown.
void AskPrinter(CMainWindow& window, CSendrixDlg& dlg) {
  if (!window.IsDlgItemEnabled(kIdcStringStart) || Text(window, kIdcDataString).empty()) {
    return;
  }
  window.Controls().Get<QAbstractButton>(kIdcStringStart)->click();
  WaitIdle(window, dlg, false);
  QEventLoop wait;
  QTimer::singleShot(300, &wait, &QEventLoop::quit);
  wait.exec();
}

// The serial list is read from the system when the serial port opens; the
// shots keep the TCP/IP connection, so the serial picture lists the ports
// as a user who chose Serial would see them.
void ListSerialPorts(CMainWindow& window) {
  auto* ports = static_cast<CPanelBase&>(window.Panel(0)).Controls().Get<QComboBox>(kIdcSerialPort);
  if (ports == nullptr)
    return;
  ports->clear();
  for (const std::string& name : CSerialPortList::Enumerate())
    ports->addItem(QString::fromStdString(name));
}

int Shots(CMainWindow& window, CSendrixDlg& dlg, const QString& folder) {
  static const char* const kNames[] = {"serial", "usb", "ethernet"};
  AskPrinter(window, dlg);
  ListSerialPorts(window);
  int written = 0;
  for (int n : {0, 1, 2}) {
    dlg.Fields().main.m_nInterface = n;
    dlg.UpdateAll(0);
    dlg.ShowInterfacePanel(n);
    written +=
        Grab(window, folder + QStringLiteral("/window-%1.png").arg(QLatin1String(kNames[n])));
  }
  return written;
}

// The icon sizes an installation provides besides the scalable one.
int WriteIcons(const QString& folder) {
  for (int side : {16, 32, 48, 64, 128, 256}) {
    QString dir = folder + QStringLiteral("/%1x%1/apps").arg(side);
    if (!QDir().mkpath(dir) || !SendrixIconPixmap(side).save(dir + QStringLiteral("/sendrix.png")))
      return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--icons") == 0)
    return WriteIcons(QString::fromLocal8Bit(argv[2]));
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--shots" && i + 1 < argc) {
      o.shots = argv[++i];
    } else if (a == "--first-shot" && i + 1 < argc) {
      o.firstShot = argv[++i];
    } else if (a == "--job") {
      o.job = true;
    } else if (a == "--repeat" && i + 1 < argc) {
      o.repeat = std::atoi(argv[++i]);
    } else if (a == "--delay" && i + 1 < argc) {
      o.delay = std::atoi(argv[++i]);
    } else if (a == "--hex" && i + 1 < argc) {
      o.hex = argv[++i];
    }
  }
  if (o.shots.empty() + o.firstShot.empty() + !o.job != 2) {
    std::fprintf(stderr,
                 "usage: sendrix-window-demo --job [--repeat N --delay MS] [--hex TEXT]\n"
                 "       sendrix-window-demo --shots <folder>\n"
                 "       sendrix-window-demo --first-shot <file>\n"
                 "       sendrix-window-demo --icons <folder>\n");
    return 2;
  }
  CDemoNotifier boxes;
  SetNotifier(&boxes);
  CStoredSettings settings;
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [&settings](CSendrixDlg& dlg) { settings.Load(dlg); };
  hooks.saveSettings = [&settings](CSendrixDlg& dlg) { settings.Save(dlg); };
  hooks.textLibraryName = [&settings] { return settings.TextLibraryName(); };
  bool ok = false;
  CQtWindowRunner runner(false);
  runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    if (o.job) {
      ok = RunJob(window, dlg, o, boxes);
    } else if (!o.firstShot.empty()) {
      ok = Grab(window, QString::fromLocal8Bit(o.firstShot.c_str()));
    } else {
      QDir().mkpath(QString::fromLocal8Bit(o.shots.c_str()));
      ok = Shots(window, dlg, QString::fromLocal8Bit(o.shots.c_str())) == 3;
    }
    window.close();
  });
  CSession session;
  CSendrixApp theApp(session, hooks);
  theApp.InitInstance(runner);
  theApp.ExitInstance();
  SetNotifier(nullptr);
  return ok ? 0 : 1;
}
