// CEthDevFrames: the three device-setup frames of a print server and the
// reading of its discovery records and MAC texts.
//
// Frames ("IP=" + command word + bytes; every field byte the low 8 bits of
// its value, zero bytes sent unchanged):
//   CHIP 17 bytes: "IP=CHIP", 6 MAC bytes, 4 address bytes first octet first
//   CHNO 23 bytes: "IP=CHNO", 6 MAC bytes, the name padded with spaces to 10
//   REST 13 bytes: "IP=REST", 6 MAC bytes
// Each is returned as a std::string of exactly that length; its c_str()
// carries the zero byte that follows a frame.
//
// A discovery record is a zero-terminated text in a 128-byte array:
// kind TAB ip TAB mac TAB name [TAB anything]. ParseRecord takes only whole
// records: all three tabs present, the address not empty and no field over
// 29 characters; anything else is refused rather than half read.
//
// Threading: pure functions, any thread.
#pragma once

#include <string>

#include "platform/Win32Types.h"

struct CEthDevRecord {
  std::string strIp;
  std::string strMac;
  std::string strName;
};

class CEthDevFrames {
 public:
  static constexpr std::size_t kRecordSize = 128;
  static constexpr std::size_t kMaxField = 29;
  static constexpr std::size_t kNameLength = 10;

  static std::string BuildChip(const BYTE mac[6], const BYTE ip[4]);
  // name: at most 10 characters are used; shorter names are padded.
  static std::string BuildChno(const BYTE mac[6], const std::string& name);
  static std::string BuildRest(const BYTE mac[6]);

  // Exactly six two-digit hexadecimal numbers joined by "-" (either letter
  // case): 1 with the bytes; 0 for anything else (out untouched).
  static int ParseMac(const std::string& text, BYTE mac[6]);
  // 1 with the three fields of a whole record, 0 otherwise (see above).
  static int ParseRecord(const char (&record)[kRecordSize], CEthDevRecord& out);
};
