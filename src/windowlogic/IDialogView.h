// How the window's deciding logic reaches one dialog's controls: the main
// window, or one of its three interface panels (each panel is a dialog of
// its own, and control numbers may repeat between dialogs).
//
// Controls are addressed by their numeric IDs, so rules written in terms of
// control numbers (enabling groups, tooltips, Enter by focused control,
// remembered enable states) hold unchanged. The Qt layer implements this
// with widgets that carry their ID; tests implement it with a recording fake.
//
// Threading: every member is called on the window's thread only. Worker
// threads reach the window through IMessageTarget, never through this.
#pragma once

#include <string>
#include <vector>

#include "history/FileHistory.h"

class IDialogView {
 public:
  virtual ~IDialogView() = default;

  // Enables or disables control `id`. Returns its previous enabled state,
  // or 0 when the dialog has no such control (nothing changes then).
  virtual int EnableDlgItem(int id, int enable) = 0;
  virtual int IsDlgItemEnabled(int id) = 0;  // 0 also when there is no such control
  virtual void ShowDlgItem(int id, int show) = 0;
  virtual int IsDlgItemVisible(int id) = 0;

  // Caption of a button, check box, radio, group box or label; text of an
  // edit or of a combo's edit field. An empty text is allowed.
  virtual void SetDlgItemText(int id, const std::string& text) = 0;
  virtual std::string GetDlgItemText(int id) = 0;

  // Keyboard focus by control ID; 0 = no control of this dialog has it.
  virtual int GetFocusId() = 0;
  virtual void SetFocusId(int id) = 0;

  // Data exchange between the controls and the bound fields (see
  // DialogFields.h): save = 1 controls to fields, 0 fields to controls.
  // Returns 1, or 0 when a control holds a value outside its field's range
  // (the view has then told the user; the exchange stopped there).
  virtual int UpdateData(int save) = 0;
};

// One row of the main window's file list: name, size ("%ld"), date
// ("%B %d, %Y"); the history rules' row.
using CFileListRow = CFileHistoryRow;

// The main window's own controls beyond those every dialog has.
class IMainView : public IDialogView {
 public:
  // The three interface panels: 0 serial, 1 USB, 2 Ethernet. Never null.
  virtual IDialogView& Panel(int interfaceType) = 0;
  // Shows panel n (0..2) and hides the other two; -1 leaves visibility alone.
  virtual void ShowPanel(int n) = 0;
  // Enables every control of panel `selected` and disables those of the
  // other panels (-1: all disabled), with each panel's own exceptions (its
  // caption choice of USB button kIdcUsbNormal, controls that follow a check box);
  // reloads the Ethernet panel's address control from its field.
  virtual void EnablePanels(int selected) = 0;

  // The window's title bar.
  virtual void SetTitle(const std::string& title) = 0;
  // Captions held in lists rather than in controls: the file list's three
  // column headers, the serial panel's parity entries 0..4 and the first
  // entry of its flow-control list.
  virtual void SetListCaptions(const std::vector<std::string>& fileListHeaders,
                               const std::vector<std::string>& parity,
                               const std::string& flowNone) = 0;

  // File list (kIdcFileList), most recent first, and its selection mark (-1 none).
  virtual void SetFileList(const std::vector<CFileListRow>& rows) = 0;
  virtual int GetFileListSelection() = 0;
  // String combo (kIdcDataString) entries, most recent first.
  virtual void SetStringList(const std::vector<std::string>& entries) = 0;

  // Progress bar kIdcProgressBar, 0..100.
  virtual void SetProgress(int percent) = 0;
  // Lamp on picture control `id` of dialog `dialog` (-1 main window, 0..2 a
  // panel): 0 hidden, 1 red, 2 green; other values change nothing.
  virtual void SetLed(int dialog, int id, int state) = 0;

  // Asks the window to close as the window manager's close would, after the
  // current handler returns (the auto-close of a batch run).
  virtual void PostClose() = 0;
  // Opens a file with the desktop's handler (View Log). Returns 1 when a
  // handler was started.
  virtual int OpenWithDesktop(const std::string& path) = 0;
};
