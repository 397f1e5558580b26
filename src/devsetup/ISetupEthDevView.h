// What the device setup logic (CSetupEthDevLogic) needs of its dialog beyond
// IDialogView: the device list, the wait cursor, the title, the column
// headers and the end of the dialog. The IP address control (kIdcDevNewIp) is read
// and written through IDialogView as dotted text; the name edit (kIdcDevNewName) as
// its text, at most 10 characters.
//
// Threading: window thread only.
#pragma once

#include <string>
#include <vector>

#include "devsetup/EthDevFrames.h"
#include "windowlogic/IDialogView.h"

class ISetupEthDevView : public IDialogView {
 public:
  // The device list's rows in display order: column 0 the address, 1 the
  // name, 2 the MAC text. The selection is cleared.
  virtual void SetRows(const std::vector<CEthDevRecord>& rows) = 0;
  // The row most recently selected, -1 when none.
  virtual int GetSelectionMark() = 0;
  virtual void SetWaitCursor(int on) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetColumnHeader(int column, const std::string& text) = 0;
  // Ends the modal dialog with result (IDOK).
  virtual void EndDialog(int result) = 0;
};
