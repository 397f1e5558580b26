// The file history as the main window's file list holds it: rows of name,
// size and date, most recent first (row 0 is the top row). Pure logic over a
// vector; the window maps CFileHistoryRow onto its list control's rows.
//
// Threading: no state of its own; callers own the vectors (the window's
// thread in the program).
#pragma once

#include <string>
#include <vector>

// Both history lists hold at most this many items.
inline constexpr int kMaxHistoryItems = 20;

struct CFileHistoryRow {
  std::string name;  // full path, as given
  std::string size;  // file size, "%ld"
  std::string date;  // last modification, "%B %d, %Y" in local time
};

// Whether two history texts are the same, ignoring ASCII letter case (the
// "exact string" search of the list and the box).
bool HistoryTextEquals(const std::string& a, const std::string& b);

// A row for `path` from the file's status: size and modification date. When
// the status cannot be read: size "0" and the date of time 0 (local time),
// or, with blankWhenMissing 1 (the history manager), empty size and date.
// Month names are English whatever the process locale is.
CFileHistoryRow MakeFileHistoryRow(const std::string& path, int blankWhenMissing = 0);

// Whether `path` names a regular file this process can read: what a file
// history entry must name to be sent, and to be kept by the next start-up.
bool IsReadableFile(const std::string& path);

// Index of the row whose name equals `path` ignoring ASCII letter case, or
// -1.
int FindFileHistoryRow(const std::vector<CFileHistoryRow>& rows, const std::string& path);

// Puts `path` on top of the list: a row of the same name (ignoring case) is
// removed first, wherever it is; otherwise, with 20 rows or more, rows from
// index 19 on are dropped. The new row is built by MakeFileHistoryRow (with
// blankWhenMissing), so a file chosen again gets its current size and date.
void AddFileToHistory(std::vector<CFileHistoryRow>& rows, const std::string& path,
                      int blankWhenMissing = 0);
