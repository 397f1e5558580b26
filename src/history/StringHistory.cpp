#include "history/StringHistory.h"

#include "codec/Codec.h"

namespace {

// Removes the entries a conversion left empty; returns how many.
int DropEmpty(std::vector<std::string>& entries) {
  const std::size_t before = entries.size();
  std::erase_if(entries, [](const std::string& e) { return e.empty(); });
  return static_cast<int>(before - entries.size());
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
  char out[kCodecBufferSize];
  EscapedTextToHexText(escaped.c_str(), out);
  return out;
}

std::string HexToEscapedText(const std::string& hex) {
  char out[kCodecBufferSize];
  HexTextToEscapedText(hex.c_str(), out);
  return out;
}

int ConvertHistoryToHex(std::vector<std::string>& entries) {
  for (std::string& entry : entries)
    entry = EscapedToHexText(entry);
  return DropEmpty(entries);
}

int ConvertHistoryToAscii(std::vector<std::string>& entries) {
  for (std::string& entry : entries)
    entry = HexToEscapedText(entry);
  return DropEmpty(entries);
}

bool CanConvertHexToEscaped(const std::string& hex) {
  return CanConvertHexTextToEscapedText(hex.c_str());
}

bool CanConvertEscapedToHex(const std::string& escaped) {
  return CanConvertEscapedTextToHexText(escaped.c_str());
}
