// The main window's saved placement: only its position and show state are
// restored (the size is the window's own), so only those are kept.
//
// File: <user settings folder>/sendrix-window.ini (CSettingsPaths::
// UserFolder), an INI file with one section and one value:
//
//   [WindowState-Summary]
//   WindowPlacement=<x> <y> <show state>
//
// x and y are the window's top-left corner in screen pixels (may be
// negative), the show state one of the kShow* values. Written atomically
// when the window closes; read when it opens, by the INI rules of CIniFile
// (history/IniFile.h). A missing, unreadable or
// malformed file (or a show state out of range) means "no saved placement".
//
// Threading: use from the window's thread.
#pragma once

#include <string>

struct CWindowPlacement {
  static constexpr int kShowNormal = 1;
  static constexpr int kShowMinimized = 2;
  static constexpr int kShowMaximized = 3;

  int m_nX = 0;
  int m_nY = 0;
  int m_nShowCmd = kShowNormal;
};

class CWindowPlacementStore {
 public:
  static constexpr char kFileName[] = "sendrix-window.ini";

  // `path`: the file; empty means <user settings folder>/sendrix-window.ini.
  explicit CWindowPlacementStore(std::string path = "");

  // 1 with *out filled when a valid placement is saved, else 0 (*out kept).
  int Load(CWindowPlacement* out) const;
  // 1 when written, 0 on failure (the previous file is then unchanged).
  int Save(const CWindowPlacement& placement) const;

  const std::string& Path() const { return m_strPath; }

 private:
  std::string m_strPath;
};
