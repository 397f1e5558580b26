// The entries of the list-holding controls of a dialog (drop-down lists),
// addressed by control ID like IDialogView. The panels' logic fills the
// port and device lists through this; which entry is selected is exchanged
// by IDialogView::UpdateData.
//
// Threading: window thread only.
#pragma once

#include <string>
#include <vector>

class IListControls {
 public:
  virtual ~IListControls() = default;
  // Replaces every entry of list `id` (nothing happens without such a list).
  virtual void SetListItems(int id, const std::vector<std::string>& items) = 0;
  // The entries of list `id` in their order; empty without such a list.
  virtual std::vector<std::string> GetListItems(int id) = 0;
  // Position of the selected entry of list `id`, -1 when none.
  virtual int GetListSelection(int id) = 0;
};
