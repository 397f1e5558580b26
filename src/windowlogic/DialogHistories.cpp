#include "windowlogic/DialogHistories.h"

void CDialogHistories::Load(CMainFields& fields) {
  for (const std::string& entry : m_fileHistory)
    m_history.AddFile(entry);
  fields.m_strFileName = m_history.Files().empty() ? "" : m_history.Files()[0].name;
  for (const std::string& entry : m_stringHistory)
    m_history.AddString(entry);
  if (!m_history.Strings().empty())
    fields.m_strDataString = m_history.Strings()[0];
  Show();
}

void CDialogHistories::Show() {
  m_pView->SetFileList(m_history.Files());
  m_pView->SetStringList(m_history.Strings());
}

void CDialogHistories::AddFile(const std::string& path) {
  m_history.AddFile(path);
  m_pView->SetFileList(m_history.Files());
}

void CDialogHistories::AddString(const std::string& text) {
  m_history.AddString(text);
  m_pView->SetStringList(m_history.Strings());
}

std::string CDialogHistories::FileAt(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= m_history.Files().size())
    return "";
  return m_history.Files()[row].name;
}

void CDialogHistories::ConvertStrings(int toHex) {
  m_history.ConvertStrings(toHex);
  m_stringHistory = m_history.Strings();
  m_pView->SetStringList(m_history.Strings());
}

void CDialogHistories::Edit(int mode, const Manager& manager) {
  if (mode == 0) {
    m_stringHistory = m_history.Strings();
    if (manager)
      manager(0, m_stringHistory);
    // The list comes back oldest first (the manager's last row in front):
    // each entry goes on top in turn, so the manager's first row ends on top
    // and the combo shows the manager's order.
    m_history.ClearStrings();
    for (const std::string& entry : m_stringHistory)
      m_history.AddString(entry);
  } else {
    m_fileHistory = m_history.FileHistory();
    if (manager)
      manager(1, m_fileHistory);
    m_history.ClearFiles();
    for (const std::string& entry : m_fileHistory)
      m_history.AddFile(entry);
  }
  Show();
}

void CDialogHistories::KeepForSaving() {
  m_fileHistory = m_history.FileHistory();
  m_stringHistory = m_history.Strings();
}
