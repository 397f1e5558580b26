// CDialogHistories: the glue between the window and its two histories. It
// keeps the lists the settings load and save (files oldest first; strings
// oldest first at start-up, most recent first at close: the orders of
// CHistoryLists, app/SettingsStore.h), the lists the window shows
// (CWindowHistory), and shows them on the view after every change.
//
// Threading: the window's thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/WindowHistory.h"

class CDialogHistories {
 public:
  // Runs the history manager modally on `list` (mode 0 strings, 1 files);
  // the list comes back edited.
  using Manager = std::function<void(int mode, std::vector<std::string>& list)>;

  void SetView(IMainView* view) { m_pView = view; }
  std::vector<std::string>& FileHistoryList() { return m_fileHistory; }
  std::vector<std::string>& StringHistoryList() { return m_stringHistory; }
  const CWindowHistory& History() const { return m_history; }

  // Start-up: the settings' lists go into the window's; the most recent file
  // and string become the fields' values (the string only when there is one).
  void Load(CMainFields& fields);
  void AddFile(const std::string& path);
  void AddString(const std::string& text);
  // The file of row `row` of the list, or "" for no such row.
  std::string FileAt(int row) const;
  // Every string to hex text (1) or escaped text (0), shown again.
  void ConvertStrings(int toHex);
  // The history manager edits the strings (mode 0) or the files (mode 1);
  // without a manager the lists are shown as they are.
  void Edit(int mode, const Manager& manager);
  // The window closes: the lists the settings save.
  void KeepForSaving();

 private:
  void Show();

  IMainView* m_pView = nullptr;
  CWindowHistory m_history;
  std::vector<std::string> m_fileHistory;
  std::vector<std::string> m_stringHistory;
};
