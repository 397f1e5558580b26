// Open and save file dialogs. The window shows real dialogs; a headless run
// has none (every call answers "cancelled"); tests script the answers.
//
// Threading: window's thread only.
#pragma once

#include <string>
#include <utility>
#include <vector>

// One filter: description and patterns, e.g. {" Flash Code Files (*.bin)",
// "*.bin *.BIN"} (Linux file names tell case apart, so list both cases).
using CFileFilter = std::pair<std::string, std::string>;

class IFileDialog {
 public:
  virtual ~IFileDialog() = default;
  // Returns 1 and sets `chosen` to the picked path; 0 when cancelled.
  // `initial` is the initial folder and/or file name pattern; `filterIndex`
  // the preselected filter, 0-based.
  virtual int GetOpenFileName(const std::string& title, const std::string& initial,
                              const std::vector<CFileFilter>& filters, int filterIndex,
                              std::string& chosen) = 0;
  virtual int GetSaveFileName(const std::string& title, const std::string& initial,
                              const std::vector<CFileFilter>& filters, int filterIndex,
                              std::string& chosen) = 0;
  // The filter (0-based) the user ended with in the last call that returned
  // 1; -1 when this dialog cannot tell (callers then keep the one they gave).
  virtual int LastFilterIndex() { return -1; }
};
