// CMemoryMainView: the main window and its three interface panels held in
// memory (CMemoryDialog), so that the window's logic (CSendrixDlg) runs a
// batch action without a window toolkit: the headless run of the normal
// build and every run of the build without Qt. The controls take the same
// values the window's widgets would (the exchange rules of the window and of
// each panel are kept here as the widgets apply them), so the logic decides
// exactly as it does over the window.
//
// What only a screen would show (title, lamps, progress bar, list captions,
// the file list) is kept for whoever asks; the file list has no selection.
// PostClose runs the close handler given to the constructor (the run's loop
// closes the window logic as the window's close would). OpenWithDesktop
// starts nothing.
//
// Threading: the window logic's thread only.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "settings/DialogFields.h"
#include "windowlogic/MemoryDialog.h"

class CMemoryMainView : public IMainView {
 public:
  CMemoryMainView(CDialogFields& fields, std::function<void()> onClose);

  CMemoryDialog& Main() { return m_main; }

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

  // IMainView.
  IDialogView& Panel(int interfaceType) override;
  void ShowPanel(int n) override;
  void EnablePanels(int selected) override;
  void SetTitle(const std::string& title) override { m_strTitle = title; }
  void SetListCaptions(const std::vector<std::string>& fileListHeaders,
                       const std::vector<std::string>& parity,
                       const std::string& flowNone) override;
  void SetFileList(const std::vector<CFileListRow>& rows) override { m_files = rows; }
  int GetFileListSelection() override { return -1; }
  void SetStringList(const std::vector<std::string>& entries) override { m_strings = entries; }
  void SetProgress(int percent) override { m_nProgress = percent; }
  void SetLed(int dialog, int id, int state) override { m_leds[{dialog, id}] = state; }
  void PostClose() override;
  int OpenWithDesktop(const std::string&) override { return 0; }

  const std::string& Title() const { return m_strTitle; }
  int Progress() const { return m_nProgress; }

 private:
  int ExchangeMain(CMemoryDialog& d, int save);
  int ExchangeUsb(CMemoryDialog& d, int save);
  int ExchangeEthernet(CMemoryDialog& d, int save);

  CDialogFields& m_fields;
  std::function<void()> m_fnClose;
  CMemoryDialog m_main;
  CMemoryDialog m_panels[3];
  std::string m_strTitle;
  std::vector<CFileListRow> m_files;
  std::vector<std::string> m_strings;
  int m_nProgress = 0;
  std::map<std::pair<int, int>, int> m_leds;
};
