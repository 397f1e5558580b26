#include "history/FileHistory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// "%B %d, %Y" with English month names: the list shows the same text
// whatever locale the window toolkit has set.
std::string FormatDate(time_t when) {
  static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};
  tm local{};
  if (localtime_r(&when, &local) == nullptr || local.tm_mon < 0 || local.tm_mon > 11)
    return "";
  char text[64];
  std::snprintf(text, sizeof(text), "%s %02d, %d", kMonths[local.tm_mon], local.tm_mday,
                local.tm_year + 1900);
  return text;
}

}  // namespace

bool HistoryTextEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i]))
      return false;
  }
  return true;
}

CFileHistoryRow MakeFileHistoryRow(const std::string& path, int blankWhenMissing) {
  struct stat st {};
  long size = 0;
  time_t modified = 0;
  if (::stat(path.c_str(), &st) == 0) {
    size = static_cast<long>(st.st_size);
    modified = st.st_mtime;
  } else if (blankWhenMissing) {
    return CFileHistoryRow{path, "", ""};
  }
  char sizeText[32];
  std::snprintf(sizeText, sizeof(sizeText), "%ld", size);
  return CFileHistoryRow{path, sizeText, FormatDate(modified)};
}

bool IsReadableFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(path.c_str(), R_OK) == 0;
}

int FindFileHistoryRow(const std::vector<CFileHistoryRow>& rows, const std::string& path) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (HistoryTextEquals(rows[i].name, path))
      return static_cast<int>(i);
  }
  return -1;
}

void AddFileToHistory(std::vector<CFileHistoryRow>& rows, const std::string& path,
                      int blankWhenMissing) {
  const int found = FindFileHistoryRow(rows, path);
  if (found >= 0) {
    rows.erase(rows.begin() + found);
  } else if (rows.size() >= static_cast<std::size_t>(kMaxHistoryItems)) {
    rows.resize(kMaxHistoryItems - 1);
  }
  rows.insert(rows.begin(), MakeFileHistoryRow(path, blankWhenMissing));
}
