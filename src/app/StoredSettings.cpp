#include "app/StoredSettings.h"

void CStoredSettings::Load(CSendrixDlg& dlg) {
  m_store.LoadSettings(dlg.Fields(), m_lists);
  dlg.FileHistoryList() = m_lists.m_files;
  dlg.StringHistoryList() = m_lists.m_strings;
}

int CStoredSettings::Save(CSendrixDlg& dlg) {
  m_lists.m_files = dlg.FileHistoryList();
  m_lists.m_strings = dlg.StringHistoryList();
  return m_store.SaveSettings(dlg.Fields(), m_lists);
}
