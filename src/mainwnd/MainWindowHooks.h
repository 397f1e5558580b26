// What the window hands to its deciding logic: the operator's commands and
// the worker messages, as plain calls by control ID. The window itself
// decides nothing; each hook left empty is simply not called.
//
// Threading: every hook is called on the window thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Win32Types.h"
#include "windowlogic/SendrixDlg.h"  // the key and menu command numbers

struct CMainWindowHooks {
  // A click on a button, check box or radio of the main window, or on the
  // file list (kIdcFileList).
  std::function<void(int id)> onCommand;
  // The same for a panel (0 serial, 1 USB, 2 Ethernet); a new choice in a
  // panel's drop-down list counts as a command of that list.
  std::function<void(int panel, int id)> onPanelCommand;
  // Enter with the focus on control focusId of a panel. Enter and Escape
  // never reach a panel's controls.
  std::function<void(int panel, int focusId)> onPanelEnter;
  // A key going to the focused control (focusId 0: none of the window's
  // controls). Returns 1 when the key was handled and must not reach the
  // control. Enter never reaches a control, whatever the answer.
  std::function<int(int vk, int focusId)> onKey;
  // Local files dropped on the window, in the order given.
  std::function<void(const std::vector<std::string>& paths)> onDropFiles;
  // The window menu's commands (IDM_ABOUTBOX, IDM_STRING_HISTORY,
  // IDM_FILE_HISTORY), and SC_CLOSE when the window closes (after its message
  // target stopped taking messages). Without a hook the about command still
  // shows the about box.
  std::function<void(UINT command)> onSysCommand;
  // The tip text of a control, by dialog (-1 main window, 0..2 a panel) and
  // ID; empty: no tip.
  std::function<std::string(int dialog, int id)> tipText;
};
