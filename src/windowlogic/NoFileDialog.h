// The file dialogs of a run without a window: nobody can pick a file, so
// every dialog answers "cancelled".
//
// Threading: any (it holds nothing).
#pragma once

#include "windowlogic/IFileDialog.h"

class CNoFileDialog : public IFileDialog {
 public:
  int GetOpenFileName(const std::string&, const std::string&, const std::vector<CFileFilter>&, int,
                      std::string&) override {
    return 0;
  }
  int GetSaveFileName(const std::string&, const std::string&, const std::vector<CFileFilter>&, int,
                      std::string&) override {
    return 0;
  }
};
