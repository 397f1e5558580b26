// CStoredSettings: the settings store joined to the window logic for the
// programs that run the window: at start-up the fields and both histories go
// from the store into CSendrixDlg, at exit back from it into the store (the
// orders of CHistoryLists match the window's, SendrixDlg.h).
//
// What goes wrong with the user's file is said, never passed over: a file
// that cannot be read (at load) and a save that fails are shown in a box
// (the process notifier) and, when SetStderrEcho is on, also on stderr, so
// that whoever started the window from a terminal or a script sees it too.
// A load problem also marks the window (m_bSettingsUnreadable), whose batch
// actions then need their interface and port on the command line.
//
// Threading: the window's thread (CSendrixApp's load and save hooks).
#pragma once

#include <string>

#include "settings/SettingsStore.h"
#include "windowlogic/SendrixDlg.h"

class CStoredSettings {
 public:
  explicit CStoredSettings(CSettingsPaths paths = CSettingsPaths::Default())
      : m_store(std::move(paths)) {}

  void Load(CSendrixDlg& dlg);
  // 1 when the settings file was written (CSettingsStore::SaveSettings).
  int Save(CSendrixDlg& dlg);
  // The text library's file name from the last Load.
  std::string TextLibraryName() const { return m_store.ThesaurusDllName(); }
  // Problems also go to stderr (for a window whose notifier shows boxes; a
  // headless run's notifier already writes to stderr).
  void SetStderrEcho(bool echo) { m_bStderrEcho = echo; }

 private:
  void Report(const std::string& text) const;

  CSettingsStore m_store;
  CHistoryLists m_lists;
  bool m_bStderrEcho = false;
};
