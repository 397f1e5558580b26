// Private-profile (INI) files with the semantics of the Windows profile
// functions, so that history files move between this program and the
// Windows one in both directions.
//
// Reading: lines end in CR LF, LF or CR; a UTF-8 byte-order mark is skipped;
// bytes are kept as they are (UTF-8 or any 8-bit encoding). "[name]" opens a
// section; "key = value" is an entry, blanks around the key and the value
// dropped and one pair of matching quotes (" or ') around the value removed.
// Section and key names compare without regard to ASCII case; the first
// matching section and the first matching key in it count. A value is read
// into 260 bytes: at most 259, cut at a NUL. Other lines are kept as they
// stand and written back unchanged.
//
// Writing: CR LF lines, "key=value" without blanks. A value that reading
// would change (blanks at either end, or quotes at both ends) is written in
// double quotes, which reading removes again. A value holding CR or LF cannot
// be written as one line: SetString refuses it.
//
// Parse is a pure function of its bytes: any input gives a result, in time
// linear in its size. Not thread-safe; one owner at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CIniFile {
 public:
  static constexpr std::size_t kValueBufferSize = 260;
  // Files larger than this are not history files; Load reads them as empty.
  static constexpr std::size_t kMaxFileSize = 1 << 20;

  struct CLine {
    std::string key;    // empty: a line kept as it stands (raw)
    std::string value;  // as read: unquoted, untrimmed beyond the rules above
    std::string raw;
  };
  struct CSection {
    std::string name;  // empty for the lines before the first section
    bool bHeader = false;
    std::vector<CLine> lines;
  };

  static CIniFile Parse(const char* data, std::size_t size);

  // Replaces the contents with the file's; a missing, unreadable or too
  // large file, or one that is not a regular file, gives an empty one.
  // Returns 1 when the file was read.
  int Load(const std::string& path);
  // Writes Serialize() to the file. Returns 1 when all of it was written.
  int Save(const std::string& path) const;
  std::string Serialize() const;

  // The value, cut to 259 bytes, or `def` when the section or key is absent.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& def) const;
  // Sets or adds one entry (the section is added at the end when missing).
  // Returns 0, changing nothing, for a value holding CR or LF.
  int SetString(const std::string& section, const std::string& key, const std::string& value);
  // Drops every entry of the section (its other lines stay); the section
  // itself is kept, so what is set next goes where it was.
  void ClearSection(const std::string& section);
  // The first section of that name, or null.
  const CSection* FindSection(const std::string& section) const;

 private:
  CSection* FindSectionToChange(const std::string& section);

  std::vector<CSection> m_sections;
};
