// The history manager dialog: one history (data strings or files) as a list
// the user edits in place, plus saving both histories to a history file and
// loading them from one. What it decides lives in CHistoryEditor
// (app/HistoryEditor.h); this class shows the editor's rows and title and
// passes the user's actions on.
//
// Closing: the Close button, Escape and the window's close all close it the
// same way, handing the rows to the application's list
// (CHistoryEditor::OnClose). Enter clicks the focused button and does
// nothing elsewhere (while a label is edited, Enter ends the edit and Escape
// cancels it, without closing). F2 or a double click in the list edits the
// selected entry (files: through the file dialog first); an edit the editor
// refuses is undone and its reason shown in a message box.
//
// Columns: titled; the path or string column takes the room left by the
// size and date columns, which are as wide as their texts.
//
// Run it modally with exec(). `lists`, `dialogs` and `browser` must outlive
// the dialog. GUI thread only.
#pragma once

#include <QDialog>

#include "windowlogic/HistoryEditor.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CHistoryDlg : public QDialog {
  Q_OBJECT

 public:
  // mode: CHistoryEditor::kStringMode or kFileMode; stringHexMode: the
  // window's string mode (see CHistoryEditor).
  CHistoryDlg(int mode, CHistoryFileLists& lists, IFileDialog& dialogs,
              CHistoryFileBrowser& browser, QWidget* parent = nullptr, int stringHexMode = 0);

  const CHistoryEditor& Editor() const { return m_editor; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Any other way out (the toolkit's own Escape handling): a close.
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* AddButton(const char* text, const char* objectName);
  void SetUpColumns();
  void OnAdd();
  void OnDelete();
  void OnSaveAs();
  void OnLoad();
  void EditSelected();
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void OnSelectionChanged();
  // Makes the list, its selection and the title show the editor's state.
  void Sync();

  CHistoryEditor m_editor;
  QTreeWidget* m_pList = nullptr;
  bool m_bSyncing = false;
};
