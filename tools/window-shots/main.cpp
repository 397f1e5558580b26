// Renders the main window with each interface selected, on whatever Qt
// platform runs it (offscreen in scripts), into PNG files:
//   sendrix-window-shots <output folder>
// writes window-serial.png, window-usb.png and window-ethernet.png. The
// Ethernet shot is connected to nothing: its address is 127.0.0.1 on a port
// where no printer listens, so its action controls show disabled.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "app/SendrixApp.h"
#include "app/SettingsStore.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtWindowRunner.h"
#include "platform/RecordingNotifier.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: sendrix-window-shots <output folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  CRecordingNotifier quiet;  // connection errors must not wait for a click
  SetNotifier(&quiet);
  CSettingsStore store;
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [&](CSendrixDlg& dlg) {
    CHistoryLists lists;
    store.LoadSettings(dlg.Fields(), lists);
    CDialogFields& f = dlg.Fields();
    f.main.m_nInterface = 2;
    f.ethernet.m_dwIpAddress = 0x7F000001;
    f.ethernet.m_nMainPort = 9;  // discard: nothing listens there
    dlg.FileHistoryList() = {};
    dlg.StringHistoryList() = {"\\x1B\\x40Hello", "\\x1Bv"};
  };
  hooks.textLibraryName = [&store] { return store.ThesaurusDllName(); };
  int written = 0;
  CQtWindowRunner runner(false);
  runner.SetOnShown([&](CMainWindow& window, CSendrixDlg& dlg) {
    static const char* const kNames[] = {"serial", "usb", "ethernet"};
    for (int n : {0, 1, 2}) {
      dlg.Fields().main.m_nInterface = n;
      dlg.UpdateAll(0);
      dlg.ShowInterfacePanel(n);
      QApplication::processEvents();
      QString path = folder + QStringLiteral("/window-%1.png").arg(QLatin1String(kNames[n]));
      if (window.grab().save(path)) {
        ++written;
        std::printf("%s\n", path.toLocal8Bit().constData());
      }
    }
    window.close();
  });
  CSendrixApp theApp(hooks);
  theApp.InitInstance(runner);
  theApp.ExitInstance();
  SetNotifier(nullptr);
  return written == 3 ? 0 : 1;
}
