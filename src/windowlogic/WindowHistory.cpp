#include "windowlogic/WindowHistory.h"

#include <filesystem>
#include <system_error>

#include "history/StringHistory.h"

namespace {

// A name relative to the current folder (a batch run's "fw.bin") as the
// absolute path the file dialog would have given: the history outlives the
// folder the program was started in.
std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/')
    return path;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace

void CWindowHistory::AddFile(const std::string& path) {
  AddFileToHistory(m_files, AbsolutePath(path));
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
