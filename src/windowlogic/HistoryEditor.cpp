#include "windowlogic/HistoryEditor.h"

#include <algorithm>

#include "history/StringHistory.h"
#include "platform/Notifier.h"

namespace {

const std::vector<CFileFilter>& IniFilters() {
  static const std::vector<CFileFilter> filters = {{" Ini Files (*.ini)", "*.ini *.INI"}};
  return filters;
}

constexpr char kIniDialogTitle[] = "Save Ini files";

}  // namespace

CHistoryEditor::CHistoryEditor(int mode, CHistoryFileLists& lists, IFileDialog& dialogs,
                               CHistoryFileBrowser& browser, int stringHexMode)
    : m_nMode(mode == kFileMode ? kFileMode : kStringMode),
      m_lists(lists),
      m_dialogs(dialogs),
      m_browser(browser),
      m_nStringHexMode(stringHexMode != 0 ? 1 : 0) {}

std::vector<CHistoryEditor::CColumn> CHistoryEditor::Columns() const {
  if (m_nMode == kFileMode)
    return {{"File", 550, false}, {"Size", 50, true}, {"Date", 110, true}};
  return {{m_nStringHexMode ? "Data string (hex)" : "Data string (ASCII)", 600, false}};
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
  m_placeholder.assign(m_rows.size(), false);
}

void CHistoryEditor::AddFileItem(const std::string& path) {
  AddFileToHistory(m_rows, path, 1);
  m_nSelection = -1;
}

void CHistoryEditor::OnAdd() {
  m_rows.push_back({"New", "", ""});
  m_placeholder.push_back(true);
  m_nSelection = static_cast<int>(m_rows.size()) - 1;
}

void CHistoryEditor::OnDelete() {
  if (m_nSelection < 0)
    return;
  m_rows.erase(m_rows.begin() + m_nSelection);
  m_placeholder.erase(m_placeholder.begin() + m_nSelection);
  SetSelection(std::min(m_nSelection, static_cast<int>(m_rows.size()) - 1));
}

std::string CHistoryEditor::RefusalText(const std::string& text) const {
  const std::string quoted = "\"" + text + "\"";
  if (m_nMode == kFileMode) {
    return IsReadableFile(text) ? "" : quoted + " is not a file that can be read.";
  }
  if (IsSendableString(text, m_nStringHexMode))
    return "";
  return quoted +
         (m_nStringHexMode ? " is not a hex data string: pairs of hexadecimal digits"
                           : " is not a data string: check its \\x escapes") +
         ", 1 to 255 bytes.";
}

std::string CHistoryEditor::OnEndLabelEdit(int row, const std::string& text) {
  if (row < 0 || row >= static_cast<int>(m_rows.size()))
    return "";
  std::string refusal = RefusalText(text);
  if (!refusal.empty())
    return refusal;
  // A typed path gets the size and date of the file it names.
  m_rows[row] = m_nMode == kFileMode ? MakeFileHistoryRow(text, 1) : CFileListRow{text, "", ""};
  m_placeholder[row] = false;
  return "";
}

int CHistoryEditor::EditSelected() {
  if (m_nSelection < 0)
    return -1;
  if (m_nMode == kFileMode) {
    std::string chosen;
    if (m_browser.BrowseHistoryFile(m_dialogs, m_rows[m_nSelection].name, chosen) != 0) {
      m_rows[m_nSelection] = MakeFileHistoryRow(chosen, 1);
      m_placeholder[m_nSelection] = false;
    }
  }
  return m_nSelection;
}

std::vector<std::string> CHistoryEditor::EntriesLastFirst() const {
  std::vector<std::string> entries;
  for (std::size_t i = m_rows.size(); i-- > 0;) {
    if (!m_placeholder[i])
      entries.push_back(m_rows[i].name);
  }
  return entries;
}

void CHistoryEditor::OnClose() {
  (m_nMode == kFileMode ? m_lists.files : m_lists.strings) = EntriesLastFirst();
}

CHistoryFileLists CHistoryEditor::ListsShown() const {
  CHistoryFileLists lists = m_lists;
  std::vector<std::string> entries = EntriesLastFirst();
  if (m_nMode == kFileMode) {
    lists.files = std::move(entries);
  } else {
    lists.strings.assign(entries.rbegin(), entries.rend());
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
