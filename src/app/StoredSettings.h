// CStoredSettings: the settings store joined to the window logic for the
// programs that run the window: at start-up the fields and both histories go
// from the store into CSendrixDlg, at exit back from it into the store (the
// orders of CHistoryLists match the window's, SendrixDlg.h).
//
// Threading: the window's thread (CSendrixApp's load and save hooks).
#pragma once

#include <string>

#include "app/SendrixDlg.h"
#include "app/SettingsStore.h"

class CStoredSettings {
 public:
  explicit CStoredSettings(CSettingsPaths paths = CSettingsPaths::Default())
      : m_store(std::move(paths)) {}

  void Load(CSendrixDlg& dlg);
  // 1 when the settings file was written (CSettingsStore::SaveSettings).
  int Save(CSendrixDlg& dlg);
  // The text library's file name from the last Load.
  std::string TextLibraryName() const { return m_store.ThesaurusDllName(); }

 private:
  CSettingsStore m_store;
  CHistoryLists m_lists;
};
