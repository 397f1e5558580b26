// History files: both histories (recently sent files and data strings) in
// one INI file, to keep or to pass to another machine.
//
//   [Files History]            Count=n, Hist File #0 .. #n-1   (paths)
//   [String History]           Count=n, Hist String #0 .. #n-1 (data strings)
//
// The string section is "String History" here, unlike "Strings History" in
// the settings store. Entry i is entry i of the list, front first; data
// strings are kept as they are held (escaped text or hex text, whichever the
// string mode was), with no conversion. Free functions without state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

inline constexpr char kFilesHistorySection[] = "Files History";
inline constexpr char kStringHistorySection[] = "String History";
inline constexpr char kHistoryCountKey[] = "Count";
inline constexpr char kHistFileKeyPrefix[] = "Hist File #";
inline constexpr char kHistStringKeyPrefix[] = "Hist String #";
inline constexpr char kHistoryNotFound[] = "NOT FOUND";
inline constexpr char kWrongIniFileText[] = "Wrong ini file";

struct CHistoryLists {
  std::vector<std::string> files;
  std::vector<std::string> strings;
};

// The name a history file is saved under: `chosen`, with ".ini" appended
// unless it already holds ".ini" (case counts: "HIST.INI" gives
// "HIST.INI.ini").
std::string HistoryFileName(const std::string& chosen);

// Reads both histories from INI bytes. Returns 0, leaving `lists` unchanged,
// when either section has no "Count" key; else 1 with both lists replaced.
// A Count that is not a number counts as 0; entries missing, beyond Count or
// holding "NOT FOUND" are skipped. Pure; linear in the input whatever Count
// says.
int ParseHistoryFile(const char* data, std::size_t size, CHistoryLists& lists);

// As ParseHistoryFile, from a file (a missing file has no Count: 0).
int LoadHistoryFile(const std::string& path, CHistoryLists& lists);

// Writes both sections into the file, keeping any other sections it holds
// and replacing the entries of these two. An entry holding CR or LF cannot
// be written: its key is left out (reading skips it). Returns 1 when the file
// was written.
int SaveHistoryFile(const std::string& path, const CHistoryLists& lists);
