#include "codec/ReplyPattern.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr uint8_t kNibbleMask = 0x0F;
constexpr int kNibbleBits = 4;

// -1 for '?', the digit's value, or -2 for anything else.
int Nibble(char c) {
  if (c == '?')
    return -1;
  if (!std::isxdigit(static_cast<unsigned char>(c)))
    return -2;
  return std::isdigit(static_cast<unsigned char>(c))
             ? c - '0'
             : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

}  // namespace

bool CReplyPattern::Parse(const std::string& text) {
  std::vector<PatternByte> pattern;
  int pending = -3;  // the byte's first digit, -3 while none
  for (char c : text) {
    if (c == ' ')
      continue;
    const int nibble = Nibble(c);
    if (nibble == -2)
      return false;
    if (pending == -3) {
      pending = nibble;
      continue;
    }
    PatternByte byte;
    byte.mask = static_cast<uint8_t>((pending < 0 ? 0 : kNibbleMask << kNibbleBits) |
                                     (nibble < 0 ? 0 : kNibbleMask));
    byte.value = static_cast<uint8_t>(((pending < 0 ? 0 : pending) << kNibbleBits) |
                                      (nibble < 0 ? 0 : nibble));
    pattern.push_back(byte);
    pending = -3;
  }
  if (pending != -3 || pattern.empty())
    return false;
  m_strText = text;
  m_pattern = std::move(pattern);
  m_window.clear();
  m_kept.clear();
  m_bDropped = m_bMatched = false;
  return true;
}

bool CReplyPattern::EndsWithPattern() const {
  if (m_window.size() < m_pattern.size())
    return false;
  for (std::size_t i = 0; i < m_pattern.size(); ++i) {
    if ((m_window[i] & m_pattern[i].mask) != m_pattern[i].value)
      return false;
  }
  return true;
}

bool CReplyPattern::Feed(const uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    m_kept.push_back(data[i]);
    if (m_kept.size() > kKeptBytes) {
      m_kept.pop_front();
      m_bDropped = true;
    }
    if (m_bMatched || m_pattern.empty())
      continue;
    m_window.push_back(data[i]);
    if (m_window.size() > m_pattern.size())
      m_window.pop_front();
    m_bMatched = EndsWithPattern();
  }
  return m_bMatched;
}

std::string CReplyPattern::Received() const {
  std::string text = m_bDropped ? "…" : "";
  for (uint8_t byte : m_kept) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", byte);
    if (!text.empty())
      text += ' ';
    text += hex;
  }
  return text;
}
