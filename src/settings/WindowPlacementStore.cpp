#include "settings/WindowPlacementStore.h"

#include <cstdio>

#include "history/IniFile.h"
#include "platform/FileIo.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsStore.h"

namespace {

constexpr char kSection[] = "WindowState-Summary";
constexpr char kValueName[] = "WindowPlacement";
constexpr std::size_t kMaxFileBytes = 4096;

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
  const CIniFile ini = CIniFile::Parse(bytes.data(), bytes.size());
  return ParsePlacement(ini.GetString(kSection, kValueName, ""), out) ? 1 : 0;
}

int CWindowPlacementStore::Save(const CWindowPlacement& placement) const {
  char text[128];
  std::snprintf(text, sizeof(text), "[%s]\n%s=%d %d %d\n", kSection, kValueName, placement.m_nX,
                placement.m_nY, placement.m_nShowCmd);
  return WriteFileAtomically(m_strPath, text);
}
