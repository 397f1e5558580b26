// Test support: a recording IMainView (and its three panels) for the window
// logic's tests, plus a scripted IFileDialog. Never part of the product.
//
// Controls exist only for the IDs the real window and panels have, so a
// rule that names a wrong ID fails (EnableDlgItem answers 0, nothing
// changes). Every control starts enabled and visible with an empty text.
//
// Data exchange: `controls` is what the operator sees and edits. UpdateData(1)
// copies it into the bound fields, UpdateData(0) copies the fields into it.
//
// Threading: the window's thread (the test's thread) only.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IFileDialog.h"

// Every control of the main window (not its panels), by ID.
const std::vector<int>& MainWindowControlIds();

class CFakeDialog : public IDialogView {
 public:
  struct Control {
    int enabled = 1;
    int visible = 1;
    std::string text;
  };

  CFakeDialog(std::vector<int> ids, std::function<void(int save)> exchange);

  int EnableDlgItem(int id, int enable) override;
  int IsDlgItemEnabled(int id) override;
  void ShowDlgItem(int id, int show) override;
  int IsDlgItemVisible(int id) override;
  void SetDlgItemText(int id, const std::string& text) override;
  std::string GetDlgItemText(int id) override;
  int GetFocusId() override { return m_nFocus; }
  void SetFocusId(int id) override { m_nFocus = id; }
  int UpdateData(int save) override;

  std::map<int, Control> m_controls;
  int m_nFocus = 0;

 private:
  std::function<void(int)> m_fnExchange;
};

class CFakeMainView : public IMainView {
 public:
  explicit CFakeMainView(CDialogFields& fields);

  // IDialogView of the main window.
  int EnableDlgItem(int id, int enable) override { return m_main.EnableDlgItem(id, enable); }
  int IsDlgItemEnabled(int id) override { return m_main.IsDlgItemEnabled(id); }
  void ShowDlgItem(int id, int show) override { m_main.ShowDlgItem(id, show); }
  int IsDlgItemVisible(int id) override { return m_main.IsDlgItemVisible(id); }
  void SetDlgItemText(int id, const std::string& text) override { m_main.SetDlgItemText(id, text); }
  std::string GetDlgItemText(int id) override { return m_main.GetDlgItemText(id); }
  int GetFocusId() override { return m_main.GetFocusId(); }
  void SetFocusId(int id) override { m_main.SetFocusId(id); }
  int UpdateData(int save) override { return m_main.UpdateData(save); }

  IDialogView& Panel(int interfaceType) override { return m_panels[interfaceType]; }
  void ShowPanel(int n) override;
  void EnablePanels(int selected) override { m_nEnabledPanel = selected; }
  void SetTitle(const std::string& title) override { m_strTitle = title; }
  void SetListCaptions(const std::vector<std::string>& headers, const std::vector<std::string>&,
                       const std::string&) override {
    m_headers = headers;
  }
  void SetFileList(const std::vector<CFileListRow>& rows) override { m_files = rows; }
  int GetFileListSelection() override { return m_nSelection; }
  void SetStringList(const std::vector<std::string>& entries) override { m_strings = entries; }
  void SetProgress(int percent) override { m_nProgress = percent; }
  void SetLed(int dialog, int id, int state) override;
  void PostClose() override { ++m_nCloseRequests; }
  int OpenWithDesktop(const std::string& path) override;

  // The lamp state last set, -1 when never set.
  int Led(int dialog, int id) const;
  // Shorthands on the main window's controls.
  int Enabled(int id) { return m_main.IsDlgItemEnabled(id); }
  std::string Text(int id) { return m_main.GetDlgItemText(id); }

  CDialogFields& m_fields;
  CDialogFields controls;  // what the operator sees and edits
  CFakeDialog m_main;
  CFakeDialog m_panels[3];
  int m_nShownPanel = -1;
  int m_nEnabledPanel = -2;
  std::string m_strTitle;
  std::vector<std::string> m_headers;
  std::vector<CFileListRow> m_files;
  std::vector<std::string> m_strings;
  int m_nSelection = -1;
  int m_nProgress = -1;
  std::map<std::pair<int, int>, int> m_leds;
  int m_nCloseRequests = 0;
  std::vector<std::string> m_opened;
  int m_nOpenResult = 1;  // what OpenWithDesktop answers (0: no program found)
};

// Answers each GetOpenFileName/GetSaveFileName with the next scripted path
// ("" = cancelled) and records what it was asked.
class CFakeFileDialog : public IFileDialog {
 public:
  int GetOpenFileName(const std::string& title, const std::string& initial,
                      const std::vector<CFileFilter>& filters, int filterIndex,
                      std::string& chosen) override;
  int GetSaveFileName(const std::string& title, const std::string& initial,
                      const std::vector<CFileFilter>& filters, int filterIndex,
                      std::string& chosen) override {
    return GetOpenFileName(title, initial, filters, filterIndex, chosen);
  }

  std::vector<std::string> m_answers;
  std::vector<std::string> m_initials;
  std::vector<CFileFilter> m_lastFilters;
};
