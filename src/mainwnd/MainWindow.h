// The operator's window: every control of the main dialog with its ID, the
// three interface panels, and nothing that decides. Commands, keys, drops,
// menu commands and closing go to CMainWindowHooks; the logic changes the
// window through IMainView.
//
// Layout: Qt layouts in the proportions of the original 480 x 327
// dialog-unit template: left and right columns about 62:38, the receive
// buffer at the foot of the left column; the window may grow, and the
// receive buffer takes the extra height. Group boxes are the parents of the
// controls they frame, but greying a frame leaves its controls alone (see
// ControlMap.h).
//
// Keys: the window sees each key before the focused control (as a dialog's
// pretranslation would) and offers Enter, Escape, Up and Down to onKey with
// the focused control's ID. Enter is always consumed; Escape never closes
// the window. Enter on a focused push or tool button presses it; an
// Alt+letter that is no mnemonic is eaten rather than typed.
//
// Threading: window thread only. Worker threads reach the window through its
// CQtMessageTarget (see AttachMessageTarget).
#pragma once

#include <QDialog>

#include "mainwnd/MainWindowHooks.h"
#include "panels/ControlMap.h"
#include "panels/ControlMapDialog.h"
#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"

class CPanelBase;
class CQtMessageTarget;
class QGridLayout;
class QMenu;
class QToolButton;
class QHelpEvent;

class CMainWindow : public QDialog, public CControlMapDialog<CMainWindow, IMainView> {
 public:
  explicit CMainWindow(CDialogFields& fields, QWidget* parent = nullptr);
  ~CMainWindow() override;

  void SetHooks(CMainWindowHooks hooks) { m_hooks = std::move(hooks); }
  // The target the workers post to; closing the window closes it first, so
  // no worker waits on a window that is going away. Not owned.
  void AttachMessageTarget(CQtMessageTarget* target) { m_pTarget = target; }
  // The window's menu: none when aboutText is empty, as the system menu.
  void BuildSystemMenu(const std::string& aboutText, const std::string& stringsText,
                       const std::string& filesText);
  // Puts a receive view in the place of list kIdcRxDataList or kIdcRxUsmList; it takes the ID.
  void ReplaceReceiveList(int id, QWidget* view);
  // The inside of the "Receive Buffer" frame, where the receive lists go.
  QWidget* ReceiveArea() const { return m_pReceiveArea; }
  CControlMap& Controls() { return m_controls; }
  QToolButton* MenuButton() const { return m_pMenuButton; }
  // Shrinks the window to the room its screen has for windows (a large
  // scale factor would put its foot off screen) and moves it inside.
  void FitIntoScreen();
  void ShowAbout();

  // IDialogView
  int UpdateData(int save) override;

  // IMainView
  IDialogView& Panel(int interfaceType) override;
  void ShowPanel(int n) override;
  void EnablePanels(int selected) override;
  void SetTitle(const std::string& title) override;
  void SetListCaptions(const std::vector<std::string>& fileListHeaders,
                       const std::vector<std::string>& parity,
                       const std::string& flowNone) override;
  void SetFileList(const std::vector<CFileListRow>& rows) override;
  int GetFileListSelection() override;
  void SetStringList(const std::vector<std::string>& entries) override;
  void SetProgress(int percent) override;
  void SetLed(int dialog, int id, int state) override;
  void PostClose() override;
  int OpenWithDesktop(const std::string& path) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // A group box in a cell of its own, and the zero-margin grid inside its
  // border where the group's controls go (as children of `inside`).
  struct CGroupCell {
    QWidget* cell = nullptr;
    QWidget* inside = nullptr;
    QGridLayout* grid = nullptr;
  };
  CGroupCell Group(int id, const QString& title);
  QWidget* BuildTransmitFile();
  QWidget* BuildFirmware();
  QWidget* BuildString();
  QWidget* BuildCommunication();
  QWidget* BuildSelectFile();
  QWidget* BuildReceive();
  QWidget* BuildBottomRow();
  template <class T>
  T* Clickable(int id, T* button, const QString& name = QString());
  bool HandleButtonOrMnemonicKey(QWidget* focus, QKeyEvent* key);
  bool HandleKey(QKeyEvent* key);
  bool HandlePanelKey(int panel, QKeyEvent* key);
  bool HandleToolTip(QWidget* w, QHelpEvent* help);

  CDialogFields& m_fields;
  CControlMap m_controls;
  CPanelBase* m_pPanels[3] = {};
  CMainWindowHooks m_hooks;
  CQtMessageTarget* m_pTarget = nullptr;
  QToolButton* m_pMenuButton = nullptr;
  QMenu* m_pMenu = nullptr;
  QWidget* m_pReceiveArea = nullptr;
};
