// CSetupEthDevDlg: the "Setup Devices" dialog (Qt). Decides nothing: its
// logic is CSetupEthDevLogic (app/SetupEthDevLogic.h), which drives it
// through ISetupEthDevView.
//
// Keys: Enter and Escape never close it; every key-down of either, on the
// dialog or any of its controls, goes to the logic (Enter acts by the
// focused control). The window has no close button; only OK ends it.
//
// Blocking work (discovery, frames, the 3000 ms restart wait) runs on a
// worker thread while the dialog's thread spins a local event loop that
// repaints but takes no user input, with the wait cursor shown.
//
// Threading: window thread only; the worker touches only the library.
#pragma once

#include <QDialog>
#include <functional>
#include <map>

#include "devsetup/ISetupEthDevView.h"
#include "devsetup/SetupEthDevLogic.h"
#include "panels/ControlMap.h"
#include "panels/ControlMapDialog.h"

class QLineEdit;
class QTreeWidget;

class CSetupEthDevDlg : public QDialog,
                        public CControlMapDialog<CSetupEthDevDlg, ISetupEthDevView> {
 public:
  // textLibrary: the main window's text library file name. hooks: the
  // library calls (defaults when empty); runBlocking is the dialog's own.
  CSetupEthDevDlg(const std::string& textLibrary, QWidget* parent = nullptr,
                  CSetupEthDevLogic::Hooks hooks = {});
  ~CSetupEthDevDlg() override;

  CSetupEthDevLogic& Logic() { return m_logic; }
  QWidget* Control(int id) const { return m_controls.Find(id); }
  CControlMap& Controls() { return m_controls; }
  QTreeWidget* List() const { return m_pList; }
  // Number of blocking jobs run so far (tests).
  int BlockingRuns() const { return m_nBlockingRuns; }

  // IDialogView.
  int UpdateData(int) override { return 1; }  // the logic exchanges its fields itself
  // ISetupEthDevView.
  void SetRows(const std::vector<CEthDevRecord>& rows) override;
  int GetSelectionMark() override;
  void SetWaitCursor(int on) override;
  void SetTitle(const std::string& title) override;
  void SetColumnHeader(int column, const std::string& text) override;
  void EndDialog(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}  // Escape and the window manager never close it

 private:
  void Build();
  QWidget* Add(int id, QWidget* widget, const QString& accessibleName);
  void RunBlocking(const std::function<void()>& work);
  void ApplyTips();

  CSetupEthDevLogic m_logic;
  CControlMap m_controls{this};
  QTreeWidget* m_pList = nullptr;
  int m_nWaitDepth = 0;
  int m_nBlockingRuns = 0;
  bool m_bClosing = false;
};
