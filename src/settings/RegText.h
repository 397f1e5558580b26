// Registry data as text: the "Windows Registry Editor Version 5.00" export
// format, which is how the settings are kept on disk. A file exported on
// Windows can be copied into place as it is.
//
// Read:
//  - UTF-16LE with its byte-order mark (what the Windows export writes),
//    UTF-16BE with its byte-order mark, UTF-8 with or without a byte-order mark, or any 8-bit text
//    (bytes are kept as they are). CRLF and LF line ends.
//  - "[key path]" starts a key; "[-key path]" (a deletion) starts nothing
//    kept. A key path "HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\..." (what a
//    32-bit program's values look like in a 64-bit Windows export) is read
//    as "HKEY_LOCAL_MACHINE\SOFTWARE\...".
//  - "name"=dword:XXXXXXXX (1 to 8 hex digits) and "name"="text", with the
//    escapes \\ and \" in names and texts. Other value kinds (hex:, hex(n):,
//    deletions "name"=-), the default value "@", comments, the header, blank
//    lines, values before any key and anything malformed are skipped, line
//    by line. A later value of the same name replaces an earlier one.
//  - Key paths and value names compare ignoring ASCII letter case, as the
//    registry does; the spelling first seen is kept.
// The parser runs once over the buffer, never reads outside it, and keeps
// at most kMaxRegValues values: any input gives a result without crash or
// loop (it is the fuzz target's entry point).
//
// Written: UTF-8 without byte-order mark, LF line ends, the header line, then
// each key with a value in the order first set, its values in that order.
// Texts holding a CR, LF or NUL cannot be written in this format; such values
// are left out (see FormatRegText).
//
// Threading: plain values; no shared state.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/Win32Types.h"

inline constexpr char kRegHeader[] = "Windows Registry Editor Version 5.00";
// The header of the older export format (Windows NT 4 and 9x), same lines.
inline constexpr char kRegHeader4[] = "REGEDIT4";
inline constexpr std::size_t kMaxRegValues = 10000;

struct CRegValue {
  enum Kind { kDword, kString };
  std::string m_strName;  // as first spelled
  Kind m_nKind = kDword;
  DWORD m_dwValue = 0;    // kDword
  std::string m_strText;  // kString
  bool m_bDeleted = false;
};

class CRegData {
 public:
  // The value, or null when missing (or deleted).
  const CRegValue* Find(const std::string& key, const std::string& name) const;
  // A number: true with *out set only for a kDword value.
  bool GetDword(const std::string& key, const std::string& name, DWORD* out) const;
  // A text: true with *out set only for a kString value.
  bool GetString(const std::string& key, const std::string& name, std::string* out) const;

  void SetDword(const std::string& key, const std::string& name, DWORD value);
  void SetString(const std::string& key, const std::string& name, const std::string& text);
  void Delete(const std::string& key, const std::string& name);
  // Deletes every value of `key` whose name is `prefix` followed by one or
  // more decimal digits (ignoring case); returns how many.
  int DeleteNumbered(const std::string& key, const std::string& prefix);

  // Live values of `key` in the order first set; empty for an unknown key.
  std::vector<const CRegValue*> Values(const std::string& key) const;
  // Key paths holding live values, in the order first set.
  std::vector<std::string> Keys() const;
  std::size_t ValueCount() const { return m_nValueCount; }

 private:
  struct CRegKey {
    std::string m_strPath;
    std::vector<CRegValue> m_values;
    std::map<std::string, std::size_t> m_index;  // lower-case name -> position
  };
  CRegKey* FindKey(const std::string& key);
  const CRegKey* FindKey(const std::string& key) const;
  CRegValue* Slot(const std::string& key, const std::string& name);

  std::vector<CRegKey> m_keys;
  std::map<std::string, std::size_t> m_keyIndex;  // lower-case path -> position
  std::size_t m_nValueCount = 0;                  // values ever added
};

// Parses `size` bytes of export text (see above). data may be null when size
// is 0.
CRegData ParseRegText(const char* data, std::size_t size);

// True when the first line of the text (decoded as ParseRegText decodes it)
// is the header of an export, either version. The parser does not need it;
// the settings store uses it to tell a settings file from some other file.
bool StartsWithRegHeader(const char* data, std::size_t size);

// The export text of `data`: keys in `keyOrder` first (those without values
// are written as empty keys), then any other key. Values whose text holds a
// CR, LF or NUL are left out.
std::string FormatRegText(const CRegData& data, const std::vector<std::string>& keyOrder);
