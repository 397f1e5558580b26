// Any file as the settings file (registry export text).
// Invariants: the parser never keeps more than kMaxRegValues values; what it
// read, written back and read again, gives the same values (names compared
// ignoring case, texts and numbers exactly), except values whose name or
// text holds CR, LF or NUL, which the writer leaves out; and from the second writing on, reading
// and writing again gives the same text (the format is stable).
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "settings/RegText.h"

namespace {

// A line break or NUL in a name or a text cannot be written on one line.
bool Writable(const CRegValue& v) {
  const std::string breaks("\r\n\0", 3);
  return v.m_strName.find_first_of(breaks) == std::string::npos &&
         (v.m_nKind != CRegValue::kString ||
          v.m_strText.find_first_of(breaks) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CRegData first = ParseRegText(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(first.ValueCount() <= kMaxRegValues);
  const std::string text = FormatRegText(first, {});
  const CRegData second = ParseRegText(text.data(), text.size());
  for (const std::string& key : first.Keys()) {
    for (const CRegValue* v : first.Values(key)) {
      const CRegValue* back = second.Find(key, v->m_strName);
      if (!Writable(*v)) {
        FUZZ_CHECK(back == nullptr);
        continue;
      }
      FUZZ_CHECK(back != nullptr);
      FUZZ_CHECK(back->m_nKind == v->m_nKind);
      if (v->m_nKind == CRegValue::kDword)
        FUZZ_CHECK(back->m_dwValue == v->m_dwValue);
      else
        FUZZ_CHECK(back->m_strText == v->m_strText);
    }
  }
  for (const std::string& key : second.Keys())
    FUZZ_CHECK(second.Values(key).size() <= first.Values(key).size());
  // The first text may still hold an empty key whose values were all left
  // out; from the second text on the format must not change.
  const std::string again = FormatRegText(second, {});
  const CRegData third = ParseRegText(again.data(), again.size());
  FUZZ_CHECK(FormatRegText(third, {}) == again);
  return 0;
}
