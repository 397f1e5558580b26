// The reply a script expects from the printer (-E:PATTERN): hex bytes,
// spaces optional, "?" a wildcard hex digit, "??" any byte. "10 04 ?2" and
// "1004?2" match 10 04 02, 10 04 12, ... The reply matches when the pattern
// occurs anywhere in what has arrived, also when it came split over several
// reads.
//
// Threading: one object is fed by one thread at a time (the caller locks).
// Memory: it keeps the last kKeptBytes bytes for the "received:" report and
// never more than the pattern's length for the search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class CReplyPattern {
 public:
  static constexpr std::size_t kKeptBytes = 64;

  // False (and the object unchanged) for an empty pattern, an odd number of
  // hex digits or any character other than hex digits, "?" and spaces.
  bool Parse(const std::string& text);

  // Takes the next bytes of the reply; true once the pattern has occurred
  // (and for every later call).
  bool Feed(const uint8_t* data, std::size_t size);
  bool Matched() const { return m_bMatched; }

  // The pattern as given, spaces and all; the last bytes received, as
  // "XX XX ..." (at most kKeptBytes of them, "…" in front when more came).
  const std::string& Text() const { return m_strText; }
  std::string Received() const;

 private:
  struct PatternByte {
    uint8_t value = 0;
    uint8_t mask = 0xFF;  // bits that must equal value's
  };
  bool EndsWithPattern() const;

  std::string m_strText;
  std::vector<PatternByte> m_pattern;
  std::deque<uint8_t> m_window;  // the last pattern-length bytes
  std::deque<uint8_t> m_kept;
  bool m_bDropped = false;
  bool m_bMatched = false;
};
