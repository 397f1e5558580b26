#include "history/HistoryFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "history/FileHistory.h"
#include "history/IniFile.h"

namespace {

// atoi's reading: blanks, sign, digits; anything else ends it.
long long ReadCount(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < (1LL << 40); ++i)
    value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// The index i when `key` is prefix + i written as "%d" would write it
// (prefix compared without case), else -1.
long long EntryIndex(const std::string& key, const std::string& prefix) {
  if (key.size() <= prefix.size() || !HistoryTextEquals(key.substr(0, prefix.size()), prefix))
    return -1;
  const std::string digits = key.substr(prefix.size());
  if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0'))
    return -1;
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return -1;
  return std::atoll(digits.c_str());
}

// Entries 0..count-1 of a section, in index order, the first key of each
// index counting, as a look-up of each key in turn would find them; but
// found by one pass over the section, so a huge Count costs nothing.
std::vector<std::string> ReadEntries(const CIniFile& ini, const char* section, const char* prefix) {
  const long long count = ReadCount(ini.GetString(section, kHistoryCountKey, kHistoryNotFound));
  const CIniFile::CSection* s = ini.FindSection(section);
  std::vector<std::pair<long long, std::string>> found;
  for (const CIniFile::CLine& line : s->lines) {
    const long long index = line.key.empty() ? -1 : EntryIndex(line.key, prefix);
    if (index >= 0 && index < count)
      found.emplace_back(index, line.value.substr(0, CIniFile::kValueBufferSize - 1));
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const bool repeated = i > 0 && found[i - 1].first == found[i].first;
    if (!repeated && found[i].second != kHistoryNotFound)
      entries.push_back(std::move(found[i].second));
  }
  return entries;
}

int ReadLists(const CIniFile& ini, CHistoryFileLists& lists) {
  if (ini.GetString(kFilesHistorySection, kHistoryCountKey, kHistoryNotFound) == kHistoryNotFound ||
      ini.GetString(kStringHistorySection, kHistoryCountKey, kHistoryNotFound) == kHistoryNotFound)
    return 0;
  lists.files = ReadEntries(ini, kFilesHistorySection, kHistFileKeyPrefix);
  lists.strings = ReadEntries(ini, kStringHistorySection, kHistStringKeyPrefix);
  return 1;
}

void WriteSection(CIniFile& ini, const char* section, const char* prefix,
                  const std::vector<std::string>& entries) {
  ini.ClearSection(section);
  ini.SetString(section, kHistoryCountKey, std::to_string(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i)
    ini.SetString(section, prefix + std::to_string(i), entries[i]);
}

}  // namespace

std::string HistoryFileName(const std::string& chosen) {
  return chosen.find(".ini") != std::string::npos ? chosen : chosen + ".ini";
}

int ParseHistoryFile(const char* data, std::size_t size, CHistoryFileLists& lists) {
  return ReadLists(CIniFile::Parse(data, size), lists);
}

int LoadHistoryFile(const std::string& path, CHistoryFileLists& lists) {
  CIniFile ini;
  ini.Load(path);
  return ReadLists(ini, lists);
}

int SaveHistoryFile(const std::string& path, const CHistoryFileLists& lists) {
  CIniFile ini;
  // A file that exists but cannot be read (too large, no permission) is not
  // overwritten: its other contents would be lost.
  if (ini.Load(path) == 0 && ::access(path.c_str(), F_OK) == 0)
    return 0;
  WriteSection(ini, kFilesHistorySection, kHistFileKeyPrefix, lists.files);
  WriteSection(ini, kStringHistorySection, kHistStringKeyPrefix, lists.strings);
  return ini.Save(path);
}
