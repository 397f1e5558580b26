// CWindowHistory: what the window's file list (1025) and string combo (1001)
// hold, most recent first, at most 20 items each, with the rules of adding
// to them. The view shows these vectors (IMainView::SetFileList,
// SetStringList); the settings store loads and saves the history lists.
//
// Adding a file: a row whose name equals the path without regard to case is
// removed (wherever it is), else the 20th row goes when the list is full;
// the path is inserted at the top with its size ("%ld") and its date of last
// change ("%B %d, %Y", local time; a file that cannot be read shows 0 and the
// date of time 0).
// Adding a string: an entry equal without regard to case at position 0
// leaves the list unchanged (the old text stays); elsewhere it is removed and
// the text inserted at the top; not found, the 20th goes when full.
//
// Threading: window's thread only.
#pragma once

#include <string>
#include <vector>

#include "app/IDialogView.h"

class CWindowHistory {
 public:
  static constexpr size_t kMaxItems = 20;

  void AddFile(const std::string& path);
  void AddString(const std::string& text);
  void ClearFiles() { m_files.clear(); }
  void ClearStrings() { m_strings.clear(); }
  // Replaces entry i (the Hex/ASCII conversion of the whole list).
  void SetString(size_t i, const std::string& text) { m_strings.at(i) = text; }

  const std::vector<CFileListRow>& Files() const { return m_files; }
  const std::vector<std::string>& Strings() const { return m_strings; }
  // The file history as stored: the rows from the last to the first, so that
  // adding them back in stored order rebuilds the same list.
  std::vector<std::string> FileHistory() const;

 private:
  std::vector<CFileListRow> m_files;
  std::vector<std::string> m_strings;
};
