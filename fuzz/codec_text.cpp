// Any text into the four data-string converters and the hex-byte reader.
// Invariants: every output stays within its buffer and is terminated where
// its count says; the escaped decoder's two outputs agree (hex text is the
// bytes as "%02X "); the hex decoder's two outputs agree (its escaped text
// decodes back to its bytes); a refusal leaves an empty text.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "codec/Codec.h"

namespace {

// Length of HexTextToEscapedText's output for these bytes.
size_t EscapedLength(const BYTE* bytes, int count) {
  size_t length = 0;
  for (int i = 0; i < count; ++i) {
    const BYTE b = bytes[i];
    if (b == 0x5C || b == 0x09 || b == 0x0A || b == 0x0D)
      length += 2;
    else if (b >= 0x20 && b <= 0x7F)
      length += 1;
    else
      length += 4;
  }
  return length;
}

void CheckEscapedText(const char* text) {
  BYTE bytes[kCodecBufferSize];
  char hex[kHexTextBufferSize];
  const int n = EscapedTextToBytes(text, bytes);
  FUZZ_CHECK(n >= 0 && n <= kMaxDecodedBytes);
  FUZZ_CHECK(bytes[n] == 0);
  const int h = EscapedTextToHexText(text, hex);
  FUZZ_CHECK(h >= 0 && h <= kHexTextBufferSize - 1);
  FUZZ_CHECK(std::strlen(hex) == static_cast<size_t>(h));
  if (n > 0) {
    FUZZ_CHECK(h == 3 * n);
    char expect[kHexTextBufferSize] = {};
    for (int i = 0; i < n; ++i)
      std::snprintf(expect + 3 * i, 4, "%02X ", bytes[i]);
    FUZZ_CHECK(std::memcmp(hex, expect, static_cast<size_t>(h)) == 0);
  }
}

void CheckHexText(const char* text) {
  BYTE bytes[kCodecBufferSize];
  char escaped[kEscapedTextBufferSize];
  const int n = HexTextToBytes(text, bytes);
  FUZZ_CHECK(n >= 0 && n <= kMaxDecodedBytes);
  FUZZ_CHECK(bytes[n] == 0);
  const int e = HexTextToEscapedText(text, escaped);
  FUZZ_CHECK(e >= 0 && e <= kEscapedTextBufferSize - 1);
  FUZZ_CHECK(std::strlen(escaped) == static_cast<size_t>(e));
  if (n == 0) {
    FUZZ_CHECK(e == 0);
    return;
  }
  FUZZ_CHECK(static_cast<size_t>(e) == EscapedLength(bytes, n));
  BYTE back[kCodecBufferSize];
  FUZZ_CHECK(EscapedTextToBytes(escaped, back) == n);
  FUZZ_CHECK(std::memcmp(back, bytes, static_cast<size_t>(n)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // As a C caller sees it: the text ends at the first NUL.
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckEscapedText(text.c_str());
  CheckHexText(text.c_str());
  ParseHexByte(text.c_str());
  return 0;
}
