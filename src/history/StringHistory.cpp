#include "history/StringHistory.h"

#include "codec/Codec.h"

namespace {

// Converts each entry `can` accepts; returns how many stayed as they were.
template <class Can, class Convert>
int ConvertEach(std::vector<std::string>& entries, Can can, Convert convert) {
  int kept = 0;
  for (std::string& entry : entries) {
    if (can(entry))
      entry = convert(entry);
    else
      ++kept;
  }
  return kept;
}

}  // namespace

int FindStringHistoryEntry(const std::vector<std::string>& entries, const std::string& text) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (HistoryTextEquals(entries[i], text))
      return static_cast<int>(i);
  }
  return -1;
}

void AddStringToHistory(std::vector<std::string>& entries, const std::string& text) {
  const int found = FindStringHistoryEntry(entries, text);
  if (found == 0)
    return;
  if (found > 0) {
    entries.erase(entries.begin() + found);
  } else if (entries.size() >= static_cast<std::size_t>(kMaxHistoryItems)) {
    entries.resize(kMaxHistoryItems - 1);
  }
  entries.insert(entries.begin(), text);
}

std::string EscapedToHexText(const std::string& escaped) {
  char out[kHexTextBufferSize];
  EscapedTextToHexText(escaped.c_str(), out);
  return out;
}

std::string HexToEscapedText(const std::string& hex) {
  char out[kEscapedTextBufferSize];
  HexTextToEscapedText(hex.c_str(), out);
  return out;
}

int ConvertHistoryToHex(std::vector<std::string>& entries) {
  return ConvertEach(entries, CanConvertEscapedToHex, EscapedToHexText);
}

int ConvertHistoryToAscii(std::vector<std::string>& entries) {
  return ConvertEach(entries, CanConvertHexToEscaped, HexToEscapedText);
}

bool IsSendableString(const std::string& text, int hexMode) {
  const bool valid = hexMode ? CanConvertHexToEscaped(text) : CanConvertEscapedToHex(text);
  return valid && !(hexMode ? HexToEscapedText(text) : EscapedToHexText(text)).empty();
}

bool CanConvertHexToEscaped(const std::string& hex) {
  return CanConvertHexTextToEscapedText(hex.c_str());
}

bool CanConvertEscapedToHex(const std::string& escaped) {
  return CanConvertEscapedTextToHexText(escaped.c_str());
}
