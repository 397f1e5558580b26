// CWindowHistory: what the window's file list (kIdcFileList) and string combo (kIdcDataString)
// hold, most recent first, at most 20 items each. The rules of adding and
// converting are the history module's (history/FileHistory.h,
// history/StringHistory.h); this class keeps the two lists the view shows
// (IMainView::SetFileList, SetStringList).
//
// Threading: window's thread only.
#pragma once

#include <string>
#include <vector>

#include "windowlogic/IDialogView.h"

class CWindowHistory {
 public:
  // A relative path is stored as the absolute path it names from the
  // current folder.
  void AddFile(const std::string& path);
  void AddString(const std::string& text);
  void ClearFiles() { m_files.clear(); }
  void ClearStrings() { m_strings.clear(); }
  // Converts every entry to hex text (toHex 1) or escaped text (0); an
  // entry the codec cannot convert stays as it is.
  void ConvertStrings(int toHex);

  const std::vector<CFileListRow>& Files() const { return m_files; }
  const std::vector<std::string>& Strings() const { return m_strings; }
  // The file history as stored: the rows from the last to the first, so that
  // adding them back in stored order rebuilds the same list.
  std::vector<std::string> FileHistory() const;

 private:
  std::vector<CFileListRow> m_files;
  std::vector<std::string> m_strings;
};
