#include "windowlogic/StoredSettings.h"

#include <cstdio>

#include "log/LogRotation.h"
#include "platform/Notifier.h"

void CStoredSettings::Load(CSendrixDlg& dlg) {
  m_store.LoadSettings(dlg.Fields(), m_lists);
  dlg.FileHistoryList() = m_lists.m_files;
  dlg.StringHistoryList() = m_lists.m_strings;
  dlg.Batch().m_bSettingsUnreadable = m_store.UserFileUnreadable() ? 1 : 0;
  SetDataLogsKept(m_store.LogFilesKept());
  if (!m_store.LoadProblem().empty())
    Report(m_store.LoadProblem());
}

int CStoredSettings::Save(CSendrixDlg& dlg) {
  m_lists.m_files = dlg.FileHistoryList();
  m_lists.m_strings = dlg.StringHistoryList();
  const int saved = m_store.SaveSettings(dlg.Fields(), m_lists);
  if (!saved)
    Report(m_store.SaveProblem());
  return saved;
}

void CStoredSettings::Report(const std::string& text) const {
  if (m_bStderrEcho)
    std::fprintf(stderr, "Sendrix: %s\n", text.c_str());
  AfxMessageBox(text.c_str());
}
