// Any bytes (up to the 255 a data string holds) through both notations and
// back. The first input byte picks the hex spelling (separator, digit case).
// Invariants: bytes -> hex text -> bytes gives the bytes; bytes -> escaped
// text (as HexTextToEscapedText writes it) -> bytes gives the bytes, and that
// escaped text -> hex text gives the canonical "%02X " spelling.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "codec/Codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  static const char kSeparators[] = {' ', ',', '-', '.', ';', '\0'};
  const char separator = kSeparators[(data[0] & 0x0F) % sizeof kSeparators];
  const bool lower = (data[0] & 0x10) != 0;
  const BYTE* bytes = data + 1;
  const int n = static_cast<int>(std::min<size_t>(size - 1, kMaxDecodedBytes));

  std::string hex;
  for (int i = 0; i < n; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, lower ? "%02x" : "%02X", bytes[i]);
    hex += pair;
    if (separator != '\0')
      hex += separator;
  }
  BYTE back[kCodecBufferSize];
  FUZZ_CHECK(HexTextToBytes(hex.c_str(), back) == n);
  FUZZ_CHECK(std::memcmp(back, bytes, static_cast<size_t>(n)) == 0);

  char escaped[kEscapedTextBufferSize];
  const int e = HexTextToEscapedText(hex.c_str(), escaped);
  FUZZ_CHECK(e > 0 || n == 0);  // every string up to 255 bytes has an escaped text
  FUZZ_CHECK(EscapedTextToBytes(escaped, back) == n);
  FUZZ_CHECK(std::memcmp(back, bytes, static_cast<size_t>(n)) == 0);
  char canonical[kHexTextBufferSize];
  const int h = EscapedTextToHexText(escaped, canonical);
  FUZZ_CHECK(h == 3 * n);
  for (int i = 0; i < n; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X ", bytes[i]);
    FUZZ_CHECK(std::memcmp(canonical + 3 * i, pair, 3) == 0);
  }
  return 0;
}
