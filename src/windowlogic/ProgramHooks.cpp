#include "windowlogic/ProgramHooks.h"

#include <utility>

#include "batch/CommandLine.h"
#include "settings/OsVersion.h"
#include "windowlogic/SendrixDlg.h"
#include "windowlogic/StoredSettings.h"

CSendrixApp::Hooks MakeProgramHooks(CStoredSettings& settings, const CCommandLine& commandLine,
                                    int& exitStatus, std::function<void(CSendrixDlg&)> afterLoad) {
  CSendrixApp::Hooks hooks;
  hooks.loadSettings = [&settings, &commandLine,
                        afterLoad = std::move(afterLoad)](CSendrixDlg& dlg) {
    settings.Load(dlg);
    dlg.SetCommandLine(commandLine);
    if (afterLoad)
      afterLoad(dlg);
  };
  hooks.saveSettings = [&settings, &exitStatus](CSendrixDlg& dlg) {
    settings.Save(dlg);
    exitStatus = dlg.ExitStatusAtClose();
  };
  hooks.checkOSVersion = [](std::string& text) { return CheckOSVersion(&text); };
  hooks.textLibraryName = [&settings] { return settings.TextLibraryName(); };
  return hooks;
}
