// The file dialog of the history manager: picks a file for a history entry.
// It starts where the entry's file is, showing files of the same extension,
// and remembers for the rest of the run which filter the user last chose.
//
// One instance lives for the whole run (the window owns it and hands it to
// each history manager it opens). Window's thread only.
#pragma once

#include <string>
#include <vector>

#include "windowlogic/IFileDialog.h"

class CHistoryFileBrowser {
 public:
  // The filters, in order: all files, then .pbt .bsl .bin .eep .tst .gfx .log.
  static const std::vector<CFileFilter>& Filters();

  // "*.*" for an empty name; else the name's folder with "*" and the
  // extension from the first '.' of its file part ("/fw/main.v2.bin" gives
  // "/fw/*.v2.bin"), or "*.*" when the file part has no '.'.
  static std::string InitialName(const std::string& name);

  // Shows the open-file dialog for `name`. Returns 1 with `chosen` set when
  // the user picked a file, 0 when cancelled. Only a pick changes the
  // remembered filter.
  int BrowseHistoryFile(IFileDialog& dialogs, const std::string& name, std::string& chosen);

 private:
  int m_nFilterIndex = -1;  // none remembered yet
  bool m_bCalled = false;
  bool m_bFirstNameEmpty = false;
};
