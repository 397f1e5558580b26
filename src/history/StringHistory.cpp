#include "history/StringHistory.h"

#include <cstdio>
#include <cstring>

#include "codec/Codec.h"

namespace {

bool IsHexSeparator(char c) {
  return c == ' ' || c == ',' || c == '-' || c == '.' || c == ';';
}

// Characters the codec writes for one byte in escaped notation.
int EscapedWidth(int byte) {
  if (byte == 0x5C || byte == 0x09 || byte == 0x0A || byte == 0x0D)
    return 2;
  if (byte >= 0x20 && byte <= 0x7F)
    return 1;
  return 4;
}

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
  const char* p = hex.c_str();  // the codec stops at the first NUL too
  int digits = 0;
  int pending = 0;
  int escapedLength = 0;
  for (; *p != '\0'; ++p) {
    const int value = HexDigitValue(*p);
    if (value >= 0) {
      if (++digits > 2 * kMaxDecodedBytes)
        return false;
      pending = pending * 16 + value;
      if (digits % 2 == 0) {
        escapedLength += EscapedWidth(pending);
        pending = 0;
      }
    } else if (!IsHexSeparator(*p) || digits % 2 != 0) {
      return false;
    }
  }
  return digits % 2 == 0 && escapedLength <= kMaxEscapedTextLength;
}

bool CanConvertEscapedToHex(const std::string& escaped) {
  const char* text = escaped.c_str();
  const std::size_t length = strnlen(text, kMaxEscapedTextLength + 1);
  if (length > static_cast<std::size_t>(kMaxEscapedTextLength))
    return false;
  // Counts as the decoder does (EscapedTextToBytes): one byte per plain
  // character and per known escape, none for an unknown one, "\b" takes one
  // back, "\x" consumes the next two characters.
  int count = 0;
  std::size_t i = 0;
  while (i < length) {
    if (text[i] != '\\') {
      ++count;
      ++i;
      continue;
    }
    if (i + 1 >= length)
      break;
    const char c = text[i + 1];
    i += 2;
    if (c == '\\' || c == 't' || c == 'r' || c == 'n') {
      ++count;
    } else if (c == 'b') {
      count = count > 0 ? count - 1 : 0;
    } else if (c == 'x' || c == 'X') {
      if (i >= length)
        break;  // a "\x" at the very end is dropped without complaint
      unsigned int value = 0;
      if (std::sscanf(text + i, "%2x", &value) != 1)
        return false;  // the decoder would show its error box
      ++count;
      i += 2;
    }
  }
  return count <= kMaxHexTextBytes;
}
