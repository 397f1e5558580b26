// The history manager's deciding logic: one history (data strings or files)
// as a list the user edits, and both histories written to or read from a
// history file. The Qt dialog (mainwnd/HistoryDlg) shows Rows() and Title()
// and forwards the user's actions here; nothing here needs Qt.
//
// `lists` are the application's two history lists. They change only when
// the dialog closes (OnClose) and when a history file is loaded (OnLoad,
// both lists). A saved file holds the rows as shown (ListsShown), so edits
// not yet closed are in it.
// The lists as the window builds them: files oldest first, strings newest
// first. Rows show the newest first (row 0) in both modes. OnClose stores
// the rows last row first in both modes (the window then re-inserts each
// entry at its top, so the order shown comes back).
//
// Message boxes go through AfxMessageBox; file dialogs through `dialogs`.
// Window's thread only.
#pragma once

#include <string>
#include <vector>

#include "app/HistoryFileBrowser.h"
#include "app/IDialogView.h"  // CFileListRow
#include "app/IFileDialog.h"
#include "history/FileHistory.h"
#include "history/HistoryFile.h"

class CHistoryEditor {
 public:
  static constexpr int kStringMode = 0;
  static constexpr int kFileMode = 1;

  struct CColumn {
    int width;
    bool rightAligned;
  };

  CHistoryEditor(int mode, CHistoryFileLists& lists, IFileDialog& dialogs,
                 CHistoryFileBrowser& browser);

  int Mode() const { return m_nMode; }
  // Three columns (path, size, date) for files, one for strings.
  std::vector<CColumn> Columns() const;
  const std::vector<CFileListRow>& Rows() const { return m_rows; }
  const std::string& Title() const { return m_strTitle; }
  int Selection() const { return m_nSelection; }
  void SetSelection(int row);  // -1 or out of range: none

  void OnInitDialog();  // rows from the list, title "... - current setting"
  void RefreshList();
  void AddFileItem(const std::string& path);
  void OnAdd();     // a row "New" at the end, selected
  void OnDelete();  // the selected row; the selection stays at its index
  void OnEndLabelEdit(int row, const std::string& text);
  // F2 or a double click: -1 when no row is selected; else the row to edit
  // in place (in file mode after the file dialog, whose pick fills the row).
  int EditSelected();
  void OnClose();  // the rows become the application's list of this mode
  void OnSaveAs();
  void OnLoad();

  // The application's lists with this mode's list replaced by the rows, in
  // the order the window builds that list.
  CHistoryFileLists ListsShown() const;

 private:
  void TakeRowsOver();
  std::string TitleBase() const;

  int m_nMode;
  CHistoryFileLists& m_lists;
  IFileDialog& m_dialogs;
  CHistoryFileBrowser& m_browser;
  std::vector<CFileListRow> m_rows;
  int m_nSelection = -1;
  std::string m_strTitle;
};
