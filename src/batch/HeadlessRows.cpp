#include "batch/HeadlessRows.h"

#include <algorithm>

void CHeadlessRows::Append(Channel channel, const BYTE* bytes, size_t count) {
  if (channel == kData && m_bDataMuted)
    return;
  for (size_t i = 0; i < count; ++i) {
    m_row[channel][m_nFill[channel]++] = bytes[i];
    if (m_nFill[channel] == CHexRows::kRowBytes)
      PrintRow(channel);
  }
  std::fflush(m_pOut);
}

void CHeadlessRows::BreakRow(Channel channel) {
  if (m_nFill[channel] > 0)
    PrintRow(channel);
  std::fflush(m_pOut);
}

void CHeadlessRows::FlushPartial() {
  BreakRow(kData);
  BreakRow(kUsm);
}

void CHeadlessRows::PrintLine(Channel channel, const char* text) {
  if (m_nFill[channel] > 0) {
    m_pendingLines[channel].emplace_back(text);
    return;
  }
  std::fprintf(m_pOut, "%s\n", text);
  std::fflush(m_pOut);
}

void CHeadlessRows::PrintRow(Channel channel) {
  char hex[CHexRows::kHexChars + 1];
  char ascii[CHexRows::kRowBytes + 1];
  CHexRows::FormatRow(m_row[channel], m_nFill[channel], hex, ascii);
  char line[8 + CHexRows::kHexChars + 2 + CHexRows::kRowBytes + 1];
  int length = std::snprintf(line, sizeof line, "%s %-*s  %s", channel == kData ? "data" : "usm ",
                             CHexRows::kHexChars, hex, ascii);
  length = std::min(length, static_cast<int>(sizeof line) - 1);
  while (length > 0 && line[length - 1] == ' ')
    --length;
  std::fprintf(m_pOut, "%.*s\n", length, line);
  m_nFill[channel] = 0;
  for (const std::string& pending : m_pendingLines[channel])
    std::fprintf(m_pOut, "%s\n", pending.c_str());
  m_pendingLines[channel].clear();
}
