#include "app/HeadlessRows.h"

void CHeadlessRows::Append(Channel channel, const BYTE* bytes, size_t count) {
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
  if (m_nFill[channel] > 0)
    PrintRow(channel);
  std::fprintf(m_pOut, "%s\n", text);
  std::fflush(m_pOut);
}

void CHeadlessRows::PrintRow(Channel channel) {
  char hex[CHexRows::kHexChars + 1];
  char ascii[CHexRows::kRowBytes + 1];
  CHexRows::FormatRow(m_row[channel], m_nFill[channel], hex, ascii);
  std::fprintf(m_pOut, "%s %-*s  %s\n", channel == kData ? "data" : "usm ", CHexRows::kHexChars,
               hex, ascii);
  m_nFill[channel] = 0;
}
