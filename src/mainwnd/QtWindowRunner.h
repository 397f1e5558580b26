// Runs the window logic (CSendrixDlg) with the Qt window: builds the
// widgets, joins them to the logic (view, file dialogs, message target,
// commands, keys, drops, menu, tips), restores the saved position, runs the
// window modally and saves its position when it has closed, unless it ran
// on the offscreen platform (a headless run never writes the placement).
//
// The message target belongs to the runner, not to the window, because the
// worker threads keep it after the window is gone; the window closes it
// first thing when it closes.
//
// Threading: the window thread (the one that owns the QApplication).
#pragma once

#include <functional>
#include <memory>

#include "mainwnd/QtMessageTarget.h"
#include "windowlogic/SendrixApp.h"

class CHeadlessRows;
class CMainWindow;
class CQtNotifier;
class COutputWindow;

class CQtWindowRunner : public IWindowRunner {
 public:
  // showSplash: the splash window is shown (500 ms) before the window is
  // built, as when the program has no command line.
  explicit CQtWindowRunner(bool showSplash);
  ~CQtWindowRunner() override;
  void SetNotifier(CQtNotifier* notifier) { m_pNotifier = notifier; }
  // Called once the window is shown, before its event loop runs (tests,
  // benchmarks and the demo drive the window from here).
  void SetOnShown(std::function<void(CMainWindow&, CSendrixDlg&)> onShown) {
    m_onShown = std::move(onShown);
  }
  // Headless runs: the receive lists' rows also go to `rows` (null: none).
  void SetRowEcho(CHeadlessRows* rows) { m_pRowEcho = rows; }
  // Headless runs: the unseen window has no place on any screen, and saving
  // it would move the operator's window, so the program turns this off.
  void SetSavesPlacement(bool saves) { m_bSavesPlacement = saves; }
  void RunModal(CSendrixDlg& dlg) override;
  CQtMessageTarget& Target() { return m_target; }

 private:
  void Join(CMainWindow& window, IFileDialog& files, CSendrixDlg& dlg);

  bool m_bSplash;
  CQtNotifier* m_pNotifier = nullptr;
  CHeadlessRows* m_pRowEcho = nullptr;
  bool m_bSavesPlacement = true;
  std::function<void(CMainWindow&, CSendrixDlg&)> m_onShown;
  CQtMessageTarget m_target;
  std::unique_ptr<COutputWindow> m_pOutput;  // made on the first port-properties request
};
