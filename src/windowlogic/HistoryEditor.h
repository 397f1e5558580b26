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
// Every row is an entry the window can use: an edit is checked where it is
// typed (OnEndLabelEdit refuses a path that names no readable file, or a
// data string that is not valid in the window's string mode or holds more
// than 255 bytes), and a row that "Add" made and nobody filled in is a
// placeholder, left out of what closing and saving hand back.
//
// Message boxes go through AfxMessageBox; file dialogs through `dialogs`.
// Window's thread only.
#pragma once

#include <string>
#include <vector>

#include "history/FileHistory.h"
#include "history/HistoryFile.h"
#include "windowlogic/HistoryFileBrowser.h"
#include "windowlogic/IDialogView.h"  // CFileListRow
#include "windowlogic/IFileDialog.h"

class CHistoryEditor {
 public:
  static constexpr int kStringMode = 0;
  static constexpr int kFileMode = 1;

  struct CColumn {
    const char* title;
    int width;  // the least width; the dialog may give more
    bool rightAligned;
  };

  // stringHexMode: the window's string mode (1 hex text, 0 escaped text),
  // which edited strings must be valid in.
  CHistoryEditor(int mode, CHistoryFileLists& lists, IFileDialog& dialogs,
                 CHistoryFileBrowser& browser, int stringHexMode = 0);

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
  void OnAdd();     // a placeholder row "New" at the end, selected
  void OnDelete();  // the selected row; the selection stays at its index
  // The row takes the typed text when it is a valid entry (see above):
  // returns "". Otherwise the row is unchanged and the returned text says
  // why, for the caller to show.
  std::string OnEndLabelEdit(int row, const std::string& text);
  // F2 or a double click: -1 when no row is selected; else the row to edit
  // in place (in file mode after the file dialog, whose pick fills the row).
  int EditSelected();
  void OnClose();  // the rows become the application's list of this mode
  void OnSaveAs();
  void OnLoad();

  // The application's lists with this mode's list replaced by the rows
  // (placeholders left out), in the order the window builds that list.
  CHistoryFileLists ListsShown() const;

 private:
  // The entries of the rows that are not placeholders, last row first.
  std::vector<std::string> EntriesLastFirst() const;
  std::string RefusalText(const std::string& text) const;
  std::string TitleBase() const;

  int m_nMode;
  CHistoryFileLists& m_lists;
  IFileDialog& m_dialogs;
  CHistoryFileBrowser& m_browser;
  int m_nStringHexMode;
  std::vector<CFileListRow> m_rows;
  std::vector<bool> m_placeholder;  // per row: made by "Add", not filled in
  int m_nSelection = -1;
  std::string m_strTitle;
};
