// The persistent settings: the values the operator's choices leave behind
// (interface and its parameters, string mode, options) and the two
// histories, read once at start-up and written once at exit.
//
// The store keeps the registry layout, with the values in text files in the
// registry export format (RegText.h):
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\KORVEL\SENDRIX]
//     "String Mode" dword (default 1), "Show USM Window" dword (0),
//     "Create Log File" dword (0), "JSON Log File" dword (0), "Thesaurus DLL Name" text (empty;
//     read, never written: it comes from the installation), "Log Files Kept" dword (50; how many
//     data logs stay, 0 all; read, never written, so a file without it keeps the default)
//   [...\SENDRIX\Files History]     "Nb Files History" dword, "Hist File #i"
//     texts, i from 0: full paths, entry 0 the oldest
//   [...\SENDRIX\Strings History]   "Nb String History" dword, "Hist String #i"
//     texts, i from 0: hex text "1B 74 0D ", entry 0 the most recent
//   [...\SENDRIX\Communication Parameters]  the fifteen dwords of the
//     interface panels, defaults as CSettingsStore::ApplyDefaults gives them
//
// Files (CSettingsPaths::Default):
//  - the user's file $XDG_CONFIG_HOME/sendrix/sendrix.reg (~/.config when
//    unset), read last: its values win, and it is the only file written;
//  - system files, read first, each value taken from the first file of the
//    list that has it: <dir>/sendrix/sendrix.reg for each dir of
//    $XDG_CONFIG_DIRS (default /etc/xdg), then
//    <folder of the executable>/../share/sendrix/sendrix.reg and
//    <folder of the executable>/sendrix.reg. An installation (and the build
//    tree, in build/bin) puts "Thesaurus DLL Name" there.
// A file that is missing, truncated or partly malformed gives whatever
// values can be read from it, and defaults for the rest. Only the first
// 1 MiB of a file is read. The user's file is different when it exists but
// cannot be taken as settings at all (SettingsFile.h: it cannot be opened,
// is empty, is over 1 MiB, or is no export): LoadProblem() then says which
// file and why, and the save keeps that file beside the new one as
// "sendrix.reg.unreadable" (numbered when taken) instead of overwriting
// what the operator may still need. System files stay quiet.
//
// A value missing, of the other kind (a text where a number is expected) or
// a text of more than 255 characters takes its default.
//
// Saving rewrites the user's file whole and atomically (AtomicFile.h): a run
// killed during the save leaves the previous file. Values of the four keys
// that the program does not know (and "Thesaurus DLL Name") are kept as the
// user's file had them; other keys of that file are dropped. Several runs
// may share the file: the save takes a lock on the folder, reads the file
// as it is now and merges (SettingsMerge.h): both histories keep every
// run's entries, most recent first, and a setting keeps the value of the
// run that changed it rather than of one that only read it. A read-only
// file or folder is never replaced (the permission bits decide, for root
// too); the new file keeps the previous one's permissions.
//
// Threading: use from one thread (start-up and exit, on the window's thread).
#pragma once

#include <string>
#include <vector>

#include "log/LogRotation.h"
#include "settings/AtomicFile.h"
#include "settings/DialogFields.h"
#include "settings/RegText.h"

inline constexpr char kSettingsRootKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX";
inline constexpr char kSettingsFilesKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Files History";
inline constexpr char kSettingsStringsKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Strings History";
inline constexpr char kSettingsCommKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters";
inline constexpr char kSettingsFileName[] = "sendrix.reg";
// Longest text value read; longer ones count as missing.
inline constexpr std::size_t kMaxSettingsText = 255;
// Longest string-history value: the hex text of the longest data string
// (255 bytes, "%02X " each).
inline constexpr std::size_t kMaxStoredStringText = 3 * 255;
// Largest part of a settings file that is read.
inline constexpr std::size_t kMaxSettingsFileBytes = 1 << 20;

// The two histories as the application object holds them.
//
// Order (the two lists differ on purpose, as the window fills and empties
// its controls):
//  - m_files: oldest first, both after LoadSettings and for SaveSettings
//    (saved as entries 0, 1, ... in this order);
//  - m_strings: after LoadSettings oldest first (the window inserts each at
//    the top of its box, so the most recent ends on top); for SaveSettings
//    most recent first (the box's entries in order), saved as entries 0, 1,
//    ... in this order.
// After loading, m_strings are hex text in Hex mode and escaped text in ASCII
// mode; SaveSettings expects them in the mode of f.main.m_nStringFormat.
struct CHistoryLists {
  std::vector<std::string> m_files;
  std::vector<std::string> m_strings;
  int m_nFileCount = 0;    // "Nb Files History" as loaded (0 when missing)
  int m_nStringCount = 0;  // "Nb String History" as loaded
};

struct CSettingsPaths {
  std::string m_strUserFile;
  std::vector<std::string> m_systemFiles;  // first file wins among these

  // The paths for this process from the environment and the executable's
  // location (/proc/self/exe).
  static CSettingsPaths Default();
  // The user's settings folder: $XDG_CONFIG_HOME/sendrix, or
  // $HOME/.config/sendrix.
  static std::string UserFolder();
};

class CSettingsStore {
 public:
  explicit CSettingsStore(CSettingsPaths paths = CSettingsPaths::Default());

  // Fills every persisted member of f and the histories from the files; see
  // the file comment. Members not persisted are left alone. History:
  //  - files: entries 0 .. count-1 that exist, are at most 255 characters
  //    and name a file that can be opened for reading, oldest first; others
  //    are skipped (a count above the entries present loads what is there);
  //  - strings: entries 0 .. count-1 that are well-formed hex text the
  //    escaped form of which fits 255 characters, converted to escaped text
  //    and, in Hex mode, back to hex text "%02X " (so "1b740d" loads as
  //    "1B 74 0D "); others are skipped quietly.
  // Counts are clamped to 0 .. kMaxRegValues. Also sets ThesaurusDllName(). Returns
  // 1 (a missing or broken file is not an error: defaults apply).
  int LoadSettings(CDialogFields& f, CHistoryLists& h);

  // Writes the user's file from f and h (see CHistoryLists for the orders).
  // Every numbered history entry of the file is removed first, so a history
  // that shrank leaves no stale entries. Strings are stored as hex text: in
  // ASCII mode (m_nStringFormat 0) each is converted; otherwise it is
  // written as it is. An entry whose hex text would exceed 255 characters
  // (more than 85 bytes), an entry the codec would refuse, an empty entry
  // and a path holding a line break are left out, and the entries are
  // numbered without gaps. The lists and values are merged with what the
  // file holds by then (see the file comment); a store that loaded nothing
  // writes its own whole. Returns 1 when the file was written, 0 when not
  // (the previous file is then unchanged, SaveProblem() says why).
  int SaveSettings(const CDialogFields& f, const CHistoryLists& h);

  // After LoadSettings: "" when the user's file was read or is missing (a
  // first run), else the message naming the file, why it cannot be read,
  // and where it will be kept.
  const std::string& LoadProblem() const { return m_strLoadProblem; }
  bool UserFileUnreadable() const { return m_bUserFileUnreadable; }
  // After SaveSettings: "" when saved, else the message saying why not.
  const std::string& SaveProblem() const { return m_strSaveProblem; }
  // After SaveSettings: where an unreadable user file was kept ("" if none).
  const std::string& KeptAs() const { return m_strKeptAs; }

  // File name of the text library from the last LoadSettings ("" if none).
  const std::string& ThesaurusDllName() const { return m_strThesaurusDllName; }
  // "Log Files Kept" from the last LoadSettings (LogRotation.h).
  std::size_t LogFilesKept() const { return m_nLogFilesKept; }
  const CSettingsPaths& Paths() const { return m_paths; }

  // Test hook: called between the complete temporary file and the rename
  // (see AtomicFile.h); false makes the save fail there.
  void SetBeforeRenameHook(CAtomicWriteHook hook) { m_beforeRename = std::move(hook); }

  // The values a first run has: every persisted member of f to its default.
  static void ApplyDefaults(CDialogFields& f);

 private:
  int FailSave(const std::string& why);
  CRegData MergedValues(const CDialogFields& f, const CHistoryLists& h, const CRegData& disk) const;

  CSettingsPaths m_paths;
  std::string m_strThesaurusDllName;
  std::size_t m_nLogFilesKept = kDefaultDataLogsKept;
  CAtomicWriteHook m_beforeRename;
  // What LoadSettings started from: the persisted numbers as loaded, and
  // both histories as stored (most recent first), unloadable entries too.
  bool m_bLoaded = false;
  CRegData m_base;
  std::vector<std::string> m_baseFiles;
  std::vector<std::string> m_baseStrings;
  bool m_bUserFileUnreadable = false;
  std::string m_strLoadProblem;
  std::string m_strSaveProblem;
  std::string m_strKeptAs;
};
