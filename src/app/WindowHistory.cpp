#include "app/WindowHistory.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

bool SameText(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

CFileListRow MakeRow(const std::string& path) {
  struct stat st {};
  long size = 0;
  time_t when = 0;
  if (::stat(path.c_str(), &st) == 0) {
    size = static_cast<long>(st.st_size);
    when = st.st_mtime;
  }
  char sizeText[32];
  std::snprintf(sizeText, sizeof sizeText, "%ld", size);
  struct tm local {};
  localtime_r(&when, &local);
  char date[64] = {};
  std::strftime(date, sizeof date, "%B %d, %Y", &local);
  return CFileListRow{path, sizeText, date};
}

}  // namespace

void CWindowHistory::AddFile(const std::string& path) {
  auto found = std::find_if(m_files.begin(), m_files.end(),
                            [&](const CFileListRow& row) { return SameText(row.name, path); });
  if (found != m_files.end()) {
    m_files.erase(found);
  } else if (m_files.size() >= kMaxItems) {
    m_files.resize(kMaxItems - 1);
  }
  m_files.insert(m_files.begin(), MakeRow(path));
}

void CWindowHistory::AddString(const std::string& text) {
  auto found = std::find_if(m_strings.begin(), m_strings.end(),
                            [&](const std::string& entry) { return SameText(entry, text); });
  if (found == m_strings.begin() && found != m_strings.end())
    return;
  if (found != m_strings.end()) {
    m_strings.erase(found);
  } else if (m_strings.size() >= kMaxItems) {
    m_strings.resize(kMaxItems - 1);
  }
  m_strings.insert(m_strings.begin(), text);
}

std::vector<std::string> CWindowHistory::FileHistory() const {
  std::vector<std::string> out;
  for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
    out.push_back(it->name);
  return out;
}
