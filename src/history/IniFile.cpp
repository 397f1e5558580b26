#include "history/IniFile.h"

#include <cstdio>
#include <cstring>

#include "history/FileHistory.h"
#include "platform/FileIo.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin]))
    ++begin;
  while (end > begin && IsBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

std::string ValueAsRead(const std::string& text) {
  std::string value = Trim(text);
  if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back())
    value = value.substr(1, value.size() - 2);
  const std::size_t nul = value.find('\0');
  if (nul != std::string::npos)
    value.resize(nul);
  return value;
}

std::string ValueAsWritten(const std::string& value) {
  const bool quoted = value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
  if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || quoted))
    return "\"" + value + "\"";
  return value;
}

void AddLine(CIniFile::CSection*& current, std::vector<CIniFile::CSection>& sections,
             const std::string& line) {
  const std::string text = Trim(line);
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close != std::string::npos) {
      sections.push_back({Trim(text.substr(1, close - 1)), true, {}});
      current = &sections.back();
      return;
    }
  }
  const std::size_t equal = text.find('=');
  if (equal != std::string::npos && equal > 0) {
    const std::string key = Trim(text.substr(0, equal));
    if (!key.empty()) {
      current->lines.push_back({key, ValueAsRead(text.substr(equal + 1)), line});
      return;
    }
  }
  current->lines.push_back({"", "", line});
}

}  // namespace

CIniFile CIniFile::Parse(const char* data, std::size_t size) {
  CIniFile ini;
  ini.m_sections.push_back({"", false, {}});
  CSection* current = &ini.m_sections.back();
  std::size_t i = 0;
  if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
    i = 3;
  while (i < size) {
    std::size_t end = i;
    while (end < size && data[end] != '\r' && data[end] != '\n')
      ++end;
    AddLine(current, ini.m_sections, std::string(data + i, end - i));
    if (end < size && data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
      ++end;
    i = end + 1;
  }
  return ini;
}

int CIniFile::Load(const std::string& path) {
  *this = Parse("", 0);
  std::string data;
  if (!ReadFileBytes(path, kMaxFileSize + 1, &data) || data.size() > kMaxFileSize)
    return 0;
  *this = Parse(data.data(), data.size());
  return 1;
}

std::string CIniFile::Serialize() const {
  std::string out;
  for (const CSection& section : m_sections) {
    if (section.bHeader) {
      // One blank line between sections, as Windows leaves it.
      if (!out.empty() && !out.ends_with("\r\n\r\n"))
        out += "\r\n";
      out += "[" + section.name + "]\r\n";
    }
    for (const CLine& line : section.lines)
      out += (line.key.empty() ? line.raw : line.key + "=" + ValueAsWritten(line.value)) + "\r\n";
  }
  // A first line that starts with the byte-order mark itself (the file had
  // two) would lose it to the next reading, and "\xEF\xBB\xBF[name]" would
  // turn into a section: a mark in front keeps the line as it was.
  if (out.starts_with("\xEF\xBB\xBF"))
    out.insert(0, "\xEF\xBB\xBF");
  return out;
}

int CIniFile::Save(const std::string& path) const {
  const std::string text = Serialize();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written ? 1 : 0;
}

const CIniFile::CSection* CIniFile::FindSection(const std::string& section) const {
  for (const CSection& s : m_sections) {
    if (s.bHeader && HistoryTextEquals(s.name, section))
      return &s;
  }
  return nullptr;
}

CIniFile::CSection* CIniFile::FindSectionToChange(const std::string& section) {
  return const_cast<CSection*>(FindSection(section));
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  const CSection* s = FindSection(section);
  if (s == nullptr)
    return def;
  for (const CLine& line : s->lines) {
    if (!line.key.empty() && HistoryTextEquals(line.key, key))
      return line.value.substr(0, kValueBufferSize - 1);
  }
  return def;
}

int CIniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos ||
      key.find_first_of("\r\n=") != std::string::npos || key.empty())
    return 0;
  CSection* s = FindSectionToChange(section);
  if (s == nullptr) {
    m_sections.push_back({section, true, {}});
    s = &m_sections.back();
  }
  std::size_t insertAt = 0;
  for (std::size_t i = 0; i < s->lines.size(); ++i) {
    CLine& line = s->lines[i];
    if (!line.key.empty() && HistoryTextEquals(line.key, key)) {
      line.value = value;
      return 1;
    }
    if (!line.key.empty() || !Trim(line.raw).empty())
      insertAt = i + 1;
  }
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(insertAt), {key, value, ""});
  return 1;
}

void CIniFile::ClearSection(const std::string& section) {
  CSection* s = FindSectionToChange(section);
  if (s == nullptr)
    return;
  std::erase_if(s->lines, [](const CLine& line) { return !line.key.empty(); });
}
