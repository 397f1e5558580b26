// CControlMapDialog: the control members of IDialogView (enable, show, text,
// focus) answered by a dialog's CControlMap, so the main window, its panels
// and the device setup dialog share one mapping.
//
// Use (CRTP): class CMyDialog : public QDialog,
//                               public CControlMapDialog<CMyDialog, IMyView>
// where Interface derives from IDialogView and CMyDialog has a public
// `CControlMap& Controls()`. UpdateData stays with the dialog.
//
// Threading: window thread only, as CControlMap.
#pragma once

#include <string>

#include "panels/ControlMap.h"

template <class Derived, class Interface>
class CControlMapDialog : public Interface {
 public:
  int EnableDlgItem(int id, int enable) override { return Map().Enable(id, enable); }
  int IsDlgItemEnabled(int id) override { return Map().IsEnabled(id); }
  void ShowDlgItem(int id, int show) override { Map().Show(id, show); }
  int IsDlgItemVisible(int id) override { return Map().IsVisible(id); }
  void SetDlgItemText(int id, const std::string& text) override { Map().SetText(id, text); }
  std::string GetDlgItemText(int id) override { return Map().GetText(id); }
  int GetFocusId() override { return Map().FocusId(); }
  void SetFocusId(int id) override { Map().SetFocus(id); }

 private:
  CControlMap& Map() { return static_cast<Derived*>(this)->Controls(); }
};
