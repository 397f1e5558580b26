#include "log/LogFormat.h"

#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kBytesPerRow = 16;
constexpr size_t kCharColumn = 59;

// Column of the first hex pair of byte i within a row.
constexpr size_t HexColumn(size_t i) {
  return 6 + i * 3 + i / 4;
}

void AppendEscapedChar(std::string& out, char c) {
  switch (c) {
    case '<':
      out.append("&lt;");
      break;
    case '>':
      out.append("&gt;");
      break;
    case '&':
      out.append("&amp;");
      break;
    default:
      out.push_back(c);
  }
}

void AppendRow(std::string& out, const BYTE* row, size_t count, size_t offset) {
  char line[kCharColumn];
  std::memset(line, ' ', sizeof line);
  line[0] = kHexDigits[(offset >> 12) & 0xF];
  line[1] = kHexDigits[(offset >> 8) & 0xF];
  line[2] = kHexDigits[(offset >> 4) & 0xF];
  line[3] = kHexDigits[offset & 0xF];
  line[4] = ':';
  for (size_t i = 0; i < count; ++i) {
    size_t col = HexColumn(i);
    line[col] = kHexDigits[row[i] >> 4];
    line[col + 1] = kHexDigits[row[i] & 0xF];
  }
  out.append(line, sizeof line);
  for (size_t i = 0; i < count; ++i) {
    BYTE b = row[i];
    if (b >= 0x20 && b <= 0x7F) {
      AppendEscapedChar(out, static_cast<char>(b));
    } else {
      out.push_back('.');
    }
  }
  out.append("\r\n");
}

}  // namespace

void AppendEscapedHtml(std::string& out, const char* text, size_t length) {
  const char* end = text + length;
  while (text < end) {
    const char* special = text;
    while (special < end && *special != '<' && *special != '>' && *special != '&')
      ++special;
    out.append(text, static_cast<size_t>(special - text));
    if (special == end)
      break;
    AppendEscapedChar(out, *special);
    text = special + 1;
  }
}

void AppendHexDump(std::string& out, const BYTE* data, size_t length) {
  out.reserve(out.size() + (length / kBytesPerRow + 1) * (kCharColumn + kBytesPerRow + 2));
  for (size_t offset = 0; offset < length; offset += kBytesPerRow) {
    size_t count = length - offset < kBytesPerRow ? length - offset : kBytesPerRow;
    AppendRow(out, data + offset, count, offset);
  }
}

SYSTEMTIME AddElapsedMs(const SYSTEMTIME& start, std::uint64_t elapsedMs) {
  std::uint64_t ms = start.wMilliseconds + elapsedMs % 1000;
  std::uint64_t sec = start.wSecond + (elapsedMs / 1000) % 60 + ms / 1000;
  std::uint64_t min = start.wMinute + (elapsedMs / 60000) % 60 + sec / 60;
  std::uint64_t hour = start.wHour + elapsedMs / 3600000 + min / 60;
  SYSTEMTIME t = start;
  t.wMilliseconds = static_cast<WORD>(ms % 1000);
  t.wSecond = static_cast<WORD>(sec % 60);
  t.wMinute = static_cast<WORD>(min % 60);
  t.wHour = static_cast<WORD>(hour % 24);
  t.wDay = static_cast<WORD>(start.wDay + hour / 24);
  return t;
}

SYSTEMTIME TimeDifference(const SYSTEMTIME& now, const SYSTEMTIME& previous) {
  int ms = now.wMilliseconds - previous.wMilliseconds;
  int sec = now.wSecond - previous.wSecond;
  int min = now.wMinute - previous.wMinute;
  int hour = now.wHour - previous.wHour;
  if (ms < 0) {
    ms += 1000;
    --sec;
  }
  if (sec < 0) {
    sec += 60;
    --min;
  }
  if (min < 0) {
    min += 60;
    --hour;
  }
  hour = ((hour % 24) + 24) % 24;
  SYSTEMTIME d{};
  d.wHour = static_cast<WORD>(hour);
  d.wMinute = static_cast<WORD>(min);
  d.wSecond = static_cast<WORD>(sec);
  d.wMilliseconds = static_cast<WORD>(ms);
  return d;
}
