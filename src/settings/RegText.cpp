#include "settings/RegText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "codec/Codec.h"

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == Lower(prefix);
}

// ---- decoding the file's bytes into UTF-8 (or 8-bit) text ----

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16 after its byte-order mark, little-endian (what Windows writes) or
// big-endian; an odd last byte is dropped, a lone surrogate becomes U+FFFD.
std::string DecodeUtf16(const unsigned char* p, std::size_t size, bool bigEndian) {
  const int lo = bigEndian ? 1 : 0;
  const int hi = 1 - lo;
  auto unit = [&](std::size_t i) -> char32_t { return p[2 * i + lo] | (p[2 * i + hi] << 8); };
  std::string out;
  out.reserve(size / 2);
  const std::size_t units = size / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const char32_t low = unit(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

std::string DecodeText(const char* data, std::size_t size) {
  if (data == nullptr || size == 0)
    return "";
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE)
    return DecodeUtf16(p + 2, size - 2, false);
  if (size >= 2 && p[0] == 0xFE && p[1] == 0xFF)
    return DecodeUtf16(p + 2, size - 2, true);
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
    return std::string(data + 3, size - 3);
  return std::string(data, size);
}

// ---- one line ----

// Reads a quoted text starting at text[pos] == '"', undoing \\ and \" (any
// other backslash stays as it is, as the export leaves it). Returns false
// when the closing quote is missing or the text holds a NUL.
bool ReadQuoted(std::string_view line, std::size_t& pos, std::string* out) {
  out->clear();
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\0')
      return false;
    if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"'))
      ++pos;
    *out += line[pos];
  }
  return false;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimTrailing(std::string_view text) {
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool ParseDword(std::string_view text, DWORD* out) {
  if (text.empty() || text.size() > 8)
    return false;
  DWORD value = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0)
      return false;
    value = (value << 4) | static_cast<DWORD>(digit);
  }
  *out = value;
  return true;
}

// A key line's path, normalised; empty for a deletion or a malformed line.
std::string KeyPath(std::string_view line) {
  line = TrimTrailing(line);
  if (line.size() < 3 || line.back() != ']' || line[1] == '-')
    return "";
  std::string path(line.substr(1, line.size() - 2));
  static constexpr std::string_view kWow = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\";
  // The 32-bit view names the same key; strip every such prefix, so that a
  // key read back after a save is the key that was saved.
  while (StartsWithIgnoringCase(path, kWow))
    path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + path.substr(kWow.size());
  return path;
}

void ParseValueLine(std::string_view line, const std::string& key, CRegData& data) {
  std::size_t pos = 0;
  std::string name;
  if (!ReadQuoted(line, pos, &name) || pos >= line.size() || line[pos] != '=')
    return;
  const std::string_view value = TrimTrailing(line.substr(pos + 1));
  if (value.size() >= 6 && Lower(value.substr(0, 6)) == "dword:") {
    DWORD number = 0;
    if (ParseDword(value.substr(6), &number))
      data.SetDword(key, name, number);
    return;
  }
  if (!value.empty() && value[0] == '"') {
    std::size_t textPos = 0;
    std::string text;
    if (ReadQuoted(value, textPos, &text) && textPos == value.size())
      data.SetString(key, name, text);
  }
}

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"')
      out += '\\';
    out += c;
  }
  return out;
}

bool Writable(const std::string& text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

const CRegData::CRegKey* CRegData::FindKey(const std::string& key) const {
  const auto it = m_keyIndex.find(Lower(key));
  return it == m_keyIndex.end() ? nullptr : &m_keys[it->second];
}

CRegData::CRegKey* CRegData::FindKey(const std::string& key) {
  const auto it = m_keyIndex.find(Lower(key));
  return it == m_keyIndex.end() ? nullptr : &m_keys[it->second];
}

const CRegValue* CRegData::Find(const std::string& key, const std::string& name) const {
  const CRegKey* k = FindKey(key);
  if (k == nullptr)
    return nullptr;
  const auto it = k->m_index.find(Lower(name));
  if (it == k->m_index.end() || k->m_values[it->second].m_bDeleted)
    return nullptr;
  return &k->m_values[it->second];
}

bool CRegData::GetDword(const std::string& key, const std::string& name, DWORD* out) const {
  const CRegValue* v = Find(key, name);
  if (v == nullptr || v->m_nKind != CRegValue::kDword)
    return false;
  *out = v->m_dwValue;
  return true;
}

bool CRegData::GetString(const std::string& key, const std::string& name, std::string* out) const {
  const CRegValue* v = Find(key, name);
  if (v == nullptr || v->m_nKind != CRegValue::kString)
    return false;
  *out = v->m_strText;
  return true;
}

CRegValue* CRegData::Slot(const std::string& key, const std::string& name) {
  CRegKey* k = FindKey(key);
  if (k == nullptr) {
    if (m_nValueCount >= kMaxRegValues)
      return nullptr;
    m_keyIndex.emplace(Lower(key), m_keys.size());
    CRegKey added;
    added.m_strPath = key;
    m_keys.push_back(std::move(added));
    k = &m_keys.back();
  }
  const std::string lower = Lower(name);
  const auto it = k->m_index.find(lower);
  if (it != k->m_index.end())
    return &k->m_values[it->second];
  if (m_nValueCount >= kMaxRegValues)
    return nullptr;
  ++m_nValueCount;
  k->m_index.emplace(lower, k->m_values.size());
  CRegValue value;
  value.m_strName = name;
  k->m_values.push_back(std::move(value));
  return &k->m_values.back();
}

void CRegData::SetDword(const std::string& key, const std::string& name, DWORD value) {
  if (CRegValue* v = Slot(key, name)) {
    v->m_nKind = CRegValue::kDword;
    v->m_dwValue = value;
    v->m_strText.clear();
    v->m_bDeleted = false;
  }
}

void CRegData::SetString(const std::string& key, const std::string& name, const std::string& text) {
  if (CRegValue* v = Slot(key, name)) {
    v->m_nKind = CRegValue::kString;
    v->m_dwValue = 0;
    v->m_strText = text;
    v->m_bDeleted = false;
  }
}

void CRegData::Delete(const std::string& key, const std::string& name) {
  CRegKey* k = FindKey(key);
  if (k == nullptr)
    return;
  const auto it = k->m_index.find(Lower(name));
  if (it != k->m_index.end())
    k->m_values[it->second].m_bDeleted = true;
}

int CRegData::DeleteNumbered(const std::string& key, const std::string& prefix) {
  CRegKey* k = FindKey(key);
  if (k == nullptr)
    return 0;
  int deleted = 0;
  for (CRegValue& v : k->m_values) {
    if (v.m_bDeleted || v.m_strName.size() <= prefix.size() ||
        !StartsWithIgnoringCase(v.m_strName, prefix))
      continue;
    const std::string_view digits = std::string_view(v.m_strName).substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    v.m_bDeleted = true;
    ++deleted;
  }
  return deleted;
}

std::vector<const CRegValue*> CRegData::Values(const std::string& key) const {
  std::vector<const CRegValue*> values;
  if (const CRegKey* k = FindKey(key)) {
    for (const CRegValue& v : k->m_values) {
      if (!v.m_bDeleted)
        values.push_back(&v);
    }
  }
  return values;
}

std::vector<std::string> CRegData::Keys() const {
  std::vector<std::string> keys;
  for (const CRegKey& k : m_keys) {
    if (!Values(k.m_strPath).empty())
      keys.push_back(k.m_strPath);
  }
  return keys;
}

CRegData ParseRegText(const char* data, std::size_t size) {
  CRegData result;
  const std::string text = DecodeText(data, size);
  std::string key;  // empty: not inside a key whose values are kept
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    while (!line.empty() && IsBlank(line.front()))
      line.remove_prefix(1);
    if (line.empty())
      continue;
    if (line.front() == '[')
      key = KeyPath(line);
    else if (line.front() == '"' && !key.empty())
      ParseValueLine(line, key, result);
  }
  return result;
}

bool StartsWithRegHeader(const char* data, std::size_t size) {
  // The header is on the first line; a few hundred bytes hold it in any encoding.
  constexpr std::size_t kHeaderScan = 256;
  const std::string text = DecodeText(data, std::min(size, kHeaderScan));
  std::string_view line(text);
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  line = TrimTrailing(line);
  return line == kRegHeader || line == kRegHeader4;
}

std::string FormatRegText(const CRegData& data, const std::vector<std::string>& keyOrder) {
  std::vector<std::string> keys = keyOrder;
  for (const std::string& k : data.Keys()) {
    bool listed = false;
    for (const std::string& o : keyOrder)
      listed = listed || Lower(o) == Lower(k);
    if (!listed)
      keys.push_back(k);
  }
  std::string out = std::string(kRegHeader) + "\n";
  char number[16];
  for (const std::string& key : keys) {
    out += "\n[" + key + "]\n";
    for (const CRegValue* v : data.Values(key)) {
      if (!Writable(v->m_strName))
        continue;
      if (v->m_nKind == CRegValue::kDword) {
        std::snprintf(number, sizeof(number), "%08x", v->m_dwValue);
        out += "\"" + Escape(v->m_strName) + "\"=dword:" + number + "\n";
      } else if (Writable(v->m_strText)) {
        out += "\"" + Escape(v->m_strName) + "\"=\"" + Escape(v->m_strText) + "\"\n";
      }
    }
  }
  return out;
}
