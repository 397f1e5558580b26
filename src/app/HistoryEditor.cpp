#include "app/HistoryEditor.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "history/IniFile.h"
#include "platform/Notifier.h"

namespace {

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

const std::vector<CFileFilter>& IniFilters() {
  static const std::vector<CFileFilter> filters = {{" Ini Files (*.ini)", "*.ini *.INI"}};
  return filters;
}

constexpr char kIniDialogTitle[] = "Save Ini files";

}  // namespace

CFileListRow MakeFileListRow(const std::string& path) {
  CFileListRow row{path, "", ""};
  struct stat info {};
  tm local{};
  if (::stat(path.c_str(), &info) != 0 || localtime_r(&info.st_mtime, &local) == nullptr)
    return row;
  row.size = std::to_string(static_cast<long>(info.st_size));
  char date[40];
  std::snprintf(date, sizeof(date), "%s %02d, %d", kMonths[local.tm_mon % 12], local.tm_mday,
                local.tm_year + 1900);
  row.date = date;
  return row;
}

CHistoryEditor::CHistoryEditor(int mode, CHistoryLists& lists, IFileDialog& dialogs,
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
  const auto same = std::find_if(m_rows.begin(), m_rows.end(), [&](const CFileListRow& row) {
    return CIniFile::SameName(row.name, path);
  });
  if (same != m_rows.end())
    m_rows.erase(same);
  else if (m_rows.size() >= kMaxFileRows)
    m_rows.erase(m_rows.begin() + (kMaxFileRows - 1));
  m_rows.insert(m_rows.begin(), MakeFileListRow(path));
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
  m_rows[row] = m_nMode == kFileMode ? MakeFileListRow(text) : CFileListRow{text, "", ""};
}

int CHistoryEditor::EditSelected() {
  if (m_nSelection < 0)
    return -1;
  if (m_nMode == kFileMode) {
    std::string chosen;
    if (m_browser.BrowseHistoryFile(m_dialogs, m_rows[m_nSelection].name, chosen) != 0)
      m_rows[m_nSelection] = MakeFileListRow(chosen);
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

CHistoryLists CHistoryEditor::ListsShown() const {
  CHistoryLists lists = m_lists;
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
