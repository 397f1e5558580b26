#include "app/HistoryEditor.h"

#include <algorithm>

#include "platform/Notifier.h"

namespace {

const std::vector<CFileFilter>& IniFilters() {
  static const std::vector<CFileFilter> filters = {{" Ini Files (*.ini)", "*.ini *.INI"}};
  return filters;
}

constexpr char kIniDialogTitle[] = "Save Ini files";

}  // namespace

CHistoryEditor::CHistoryEditor(int mode, CHistoryFileLists& lists, IFileDialog& dialogs,
                               CHistoryFileBrowser& browser)
    : m_nMode(mode == kFileMode ? kFileMode : kStringMode),
      m_lists(lists),
      m_dialogs(dialogs),
      m_browser(browser) {}

std::vector<CHistoryEditor::CColumn> CHistoryEditor::Columns() const {
  if (m_nMode == kFileMode)
    return {{550, false}, {50, true}, {110, true}};
  return {{600, false}};
}

std::string CHistoryEditor::TitleBase() const {
  return m_nMode == kFileMode ? "Manage files history" : "Manage commands history";
}

void CHistoryEditor::SetSelection(int row) {
  m_nSelection = row >= 0 && row < static_cast<int>(m_rows.size()) ? row : -1;
}

void CHistoryEditor::OnInitDialog() {
  RefreshList();
  m_strTitle = TitleBase() + " - current setting";
}

void CHistoryEditor::RefreshList() {
  m_rows.clear();
  m_nSelection = -1;
  if (m_nMode == kStringMode) {
    for (const std::string& entry : m_lists.strings)
      m_rows.push_back({entry, "", ""});
  } else {
    for (const std::string& entry : m_lists.files)
      AddFileItem(entry);
  }
}

void CHistoryEditor::AddFileItem(const std::string& path) {
  AddFileToHistory(m_rows, path, 1);
  m_nSelection = -1;
}

void CHistoryEditor::OnAdd() {
  m_rows.push_back({"New", "", ""});
  m_nSelection = static_cast<int>(m_rows.size()) - 1;
}

void CHistoryEditor::OnDelete() {
  if (m_nSelection < 0)
    return;
  m_rows.erase(m_rows.begin() + m_nSelection);
  SetSelection(std::min(m_nSelection, static_cast<int>(m_rows.size()) - 1));
}

void CHistoryEditor::OnEndLabelEdit(int row, const std::string& text) {
  if (row < 0 || row >= static_cast<int>(m_rows.size()))
    return;
  // A typed path gets the size and date of the file it names.
  m_rows[row] = m_nMode == kFileMode ? MakeFileHistoryRow(text, 1) : CFileListRow{text, "", ""};
}

int CHistoryEditor::EditSelected() {
  if (m_nSelection < 0)
    return -1;
  if (m_nMode == kFileMode) {
    std::string chosen;
    if (m_browser.BrowseHistoryFile(m_dialogs, m_rows[m_nSelection].name, chosen) != 0)
      m_rows[m_nSelection] = MakeFileHistoryRow(chosen, 1);
  }
  return m_nSelection;
}

void CHistoryEditor::TakeRowsOver() {
  std::vector<std::string>& list = m_nMode == kFileMode ? m_lists.files : m_lists.strings;
  list.clear();
  for (auto row = m_rows.rbegin(); row != m_rows.rend(); ++row)
    list.push_back(row->name);
}

void CHistoryEditor::OnClose() {
  TakeRowsOver();
}

CHistoryFileLists CHistoryEditor::ListsShown() const {
  CHistoryFileLists lists = m_lists;
  if (m_nMode == kFileMode) {
    lists.files.clear();
    for (auto row = m_rows.rbegin(); row != m_rows.rend(); ++row)
      lists.files.push_back(row->name);
  } else {
    lists.strings.clear();
    for (const CFileListRow& row : m_rows)
      lists.strings.push_back(row.name);
  }
  return lists;
}

void CHistoryEditor::OnSaveAs() {
  std::string chosen;
  if (m_dialogs.GetSaveFileName(kIniDialogTitle, "", IniFilters(), 0, chosen) == 0)
    return;
  const std::string path = HistoryFileName(chosen);
  if (SaveHistoryFile(path, ListsShown()) == 0) {
    AfxMessageBox(("Cannot write the history file " + path).c_str(), MB_OK);
    return;
  }
  m_strTitle = TitleBase() + " - " + path;
}

void CHistoryEditor::OnLoad() {
  std::string chosen;
  if (m_dialogs.GetOpenFileName(kIniDialogTitle, "", IniFilters(), 0, chosen) == 0)
    return;
  if (LoadHistoryFile(chosen, m_lists) == 0) {
    AfxMessageBox(kWrongIniFileText, MB_OK);
    return;
  }
  m_strTitle = TitleBase() + " - " + chosen;
  RefreshList();
}
