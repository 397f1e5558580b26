// The operator's program: the Qt window over the window logic. Qt's own
// options (-platform and the like) are taken out of the command line by
// QApplication before the program's parser sees it.
#include <QApplication>

#include "app/CommandLine.h"
#include "app/OsVersion.h"
#include "app/SendrixApp.h"
#include "app/SettingsStore.h"
#include "mainwnd/QtNotifier.h"
#include "mainwnd/QtWindowRunner.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const CCommandLine commandLine = CCommandLine::FromArgv(argc, argv);

  CQtNotifier notifier;
  SetNotifier(&notifier);
  CSettingsStore store;
  CHistoryLists lists;
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [&](CSendrixDlg& dlg) {
    store.LoadSettings(dlg.Fields(), lists);
    dlg.FileHistoryList() = lists.m_files;
    dlg.StringHistoryList() = lists.m_strings;
    dlg.SetCommandLine(commandLine);
  };
  hooks.saveSettings = [&](CSendrixDlg& dlg) {
    lists.m_files = dlg.FileHistoryList();
    lists.m_strings = dlg.StringHistoryList();
    store.SaveSettings(dlg.Fields(), lists);
  };
  hooks.checkOSVersion = [](std::string& text) { return CheckOSVersion(&text); };
  hooks.textLibraryName = [&store] { return store.ThesaurusDllName(); };

  CSendrixApp theApp(hooks);
  CQtWindowRunner runner(!commandLine.HasCommandLine());
  runner.SetNotifier(&notifier);
  theApp.InitInstance(runner);
  theApp.ExitInstance();
  // Worker threads that are still blocked on their events never report
  // again; a late message box goes to stderr.
  notifier.Close();
  SetNotifier(nullptr);
  return 0;
}
