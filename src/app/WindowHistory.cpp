#include "app/WindowHistory.h"

#include "history/StringHistory.h"

void CWindowHistory::AddFile(const std::string& path) {
  AddFileToHistory(m_files, path);
}

void CWindowHistory::AddString(const std::string& text) {
  AddStringToHistory(m_strings, text);
}

void CWindowHistory::ConvertStrings(int toHex) {
  if (toHex)
    ConvertHistoryToHex(m_strings);
  else
    ConvertHistoryToAscii(m_strings);
}

std::vector<std::string> CWindowHistory::FileHistory() const {
  std::vector<std::string> out;
  for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
    out.push_back(it->name);
  return out;
}
