// CSendrixApp: the run sequence of the interactive program, without Qt.
// The window layer supplies the pieces that need a screen through
// IWindowRunner; the settings store and the operating-system check come as
// hooks so that this class does not depend on how they are kept.
//
// InitInstance, in order: build the window logic (CSendrixDlg); load the
// settings into it; load the text library named there; check the operating
// system; create the data log when "Create Log" is ticked; if the system
// check passed: end any set-up left in the communications library, run the
// window modally, then save the settings; else
// show error text 49 and never show the window. Returns 0 (the process ends
// after it). ExitInstance: ends the library set-up, closes the
// received-data file (removing it when it is an empty "RxData-pid<hex>.bin",
// the name taken while another run held the default one), destroys the data
// log and deletes its View Log copies, stops the engine's threads.
//
// The session (the engine, the files, the data log) is main's; the run
// sequence and its window use it by reference.
//
// Threading: both run on the program's main (window) thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "windowlogic/SendrixDlg.h"

class IWindowRunner {
 public:
  virtual ~IWindowRunner() = default;
  // Builds the widgets for `dlg`, attaches them (CSendrixDlg::Attach), runs
  // OnInitDialog and the window until it has closed. Returns when closed.
  virtual void RunModal(CSendrixDlg& dlg) = 0;
};

class CSendrixApp {
 public:
  struct Hooks {
    // Settings into / out of the window (fields, histories, text library name).
    std::function<void(CSendrixDlg&)> loadSettings;
    std::function<void(CSendrixDlg&)> saveSettings;
    // 1 when the program may run; fills the OS version text.
    std::function<int(std::string& osVersion)> checkOSVersion;
    // The text library's file name (from the settings).
    std::function<std::string()> textLibraryName;
  };

  CSendrixApp(CSession& session, Hooks hooks) : m_session(session), m_hooks(std::move(hooks)) {}
  int InitInstance(IWindowRunner& runner);
  int ExitInstance();
  const std::string& GetOSVersion() const { return m_strOSVersion; }
  // The window of the running program; null outside InitInstance.
  CSendrixDlg* GetMainWindow() { return m_pDlg.get(); }

 private:
  CSession& m_session;
  Hooks m_hooks;
  std::string m_strOSVersion;
  std::unique_ptr<CSendrixDlg> m_pDlg;
};
