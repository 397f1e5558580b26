// CMemoryDialog: one dialog's controls held in memory, for a run without a
// window (a headless batch run): each control, by its numeric ID, has an
// enabled and a visible state, a text, a check mark and, for drop-down
// lists, its entries and selected position. A control comes into being the
// first time it is named, enabled and visible with an empty text.
//
// The data exchange between the controls and the bound fields is given by
// the view that owns the dialog (CMemoryMainView): it keeps the rules the
// window's widgets apply, with the helpers below (a check mark is 0 or 1, a
// radio group gives the position of its checked button or -1, a list
// position out of range selects nothing, a number edit must hold a number
// in its range or the exchange stops with the window's message).
//
// Threading: the window logic's thread only.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "windowlogic/IDialogView.h"
#include "windowlogic/IListControls.h"

class CMemoryDialog : public IDialogView, public IListControls {
 public:
  struct Control {
    int enabled = 1;
    int visible = 1;
    std::string text;  // a list's text is its selected entry
    int checked = 0;
    bool bList = false;
    std::vector<std::string> items;
    int index = -1;
  };
  // The exchange of this dialog's controls with its fields (save: 1
  // controls to fields); returns 0 when a control held a refused value.
  using Exchange = std::function<int(CMemoryDialog& dialog, int save)>;

  void SetExchange(Exchange exchange) { m_fnExchange = std::move(exchange); }
  // Makes `id` a drop-down list holding `items`, the first one selected.
  void AddList(int id, std::vector<std::string> items);
  Control& At(int id) { return m_controls[id]; }
  std::map<int, Control>& All() { return m_controls; }

  // IDialogView.
  int EnableDlgItem(int id, int enable) override;
  int IsDlgItemEnabled(int id) override { return At(id).enabled; }
  void ShowDlgItem(int id, int show) override { At(id).visible = show ? 1 : 0; }
  int IsDlgItemVisible(int id) override { return At(id).visible; }
  void SetDlgItemText(int id, const std::string& text) override { At(id).text = text; }
  std::string GetDlgItemText(int id) override;
  int GetFocusId() override { return m_nFocus; }
  void SetFocusId(int id) override { m_nFocus = id; }
  int UpdateData(int save) override { return m_fnExchange ? m_fnExchange(*this, save) : 1; }

  // IListControls: a new set of entries selects none.
  void SetListItems(int id, const std::vector<std::string>& items) override;
  std::vector<std::string> GetListItems(int id) override { return At(id).items; }
  int GetListSelection(int id) override { return At(id).index; }

  // Exchange helpers (save: 1 control to field, 0 field to control).
  void Text(int id, std::string& value, int save);
  void Check(int id, int& value, int save);
  void Radio(std::initializer_list<int> ids, int& value, int save);
  void ListIndex(int id, int& index, int save);
  int Int(int id, int& value, int save);
  int UInt(int id, unsigned& value, unsigned minValue, unsigned maxValue, int save);

 private:
  int Refuse(int id, const std::string& message);

  std::map<int, Control> m_controls;
  int m_nFocus = 0;
  Exchange m_fnExchange;
};
