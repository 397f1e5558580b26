#include "app/WindowPlacementStore.h"

#include <cstdio>
#include <sstream>

#include "app/AtomicFile.h"
#include "app/SettingsStore.h"
#include "platform/FileIo.h"

namespace {

constexpr char kSection[] = "[WindowState-Summary]";
constexpr char kValuePrefix[] = "WindowPlacement=";
constexpr std::size_t kMaxFileBytes = 4096;

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return "";
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// "<x> <y> <show>" with nothing after it.
bool ParsePlacement(const std::string& value, CWindowPlacement* out) {
  CWindowPlacement p;
  char rest = 0;
  if (std::sscanf(value.c_str(), "%d %d %d %c", &p.m_nX, &p.m_nY, &p.m_nShowCmd, &rest) != 3)
    return false;
  if (p.m_nShowCmd < CWindowPlacement::kShowNormal ||
      p.m_nShowCmd > CWindowPlacement::kShowMaximized)
    return false;
  *out = p;
  return true;
}

}  // namespace

CWindowPlacementStore::CWindowPlacementStore(std::string path) : m_strPath(std::move(path)) {
  if (m_strPath.empty())
    m_strPath = CSettingsPaths::UserFolder() + "/" + kFileName;
}

int CWindowPlacementStore::Load(CWindowPlacement* out) const {
  std::string bytes;
  if (!ReadFileBytes(m_strPath, kMaxFileBytes, &bytes))
    return 0;
  std::istringstream lines(bytes);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (!line.empty() && line.front() == '[')
      inSection = line == kSection;
    else if (inSection && line.rfind(kValuePrefix, 0) == 0)
      return ParsePlacement(line.substr(sizeof(kValuePrefix) - 1), out) ? 1 : 0;
  }
  return 0;
}

int CWindowPlacementStore::Save(const CWindowPlacement& placement) const {
  char text[128];
  std::snprintf(text, sizeof(text), "%s\n%s%d %d %d\n", kSection, kValuePrefix, placement.m_nX,
                placement.m_nY, placement.m_nShowCmd);
  return WriteFileAtomically(m_strPath, text);
}
