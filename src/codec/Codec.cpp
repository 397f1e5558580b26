#include "codec/Codec.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

namespace {

// Set on this thread while a quiet check runs: a refusal is noted instead of
// shown.
thread_local bool t_bQuiet = false;
thread_local bool t_bRefused = false;

void ReportConversionError() {
  if (t_bQuiet)
    t_bRefused = true;
  else
    ShowErrorText(kErrorInvalidDataString);
}

// Clears the caller's buffer and reports a conversion error.
int RefuseConversion(void* out) {
  static_cast<char*>(out)[0] = '\0';
  ReportConversionError();
  return 0;
}

// Runs one conversion quietly; true when it refused nothing.
template <class Convert>
bool ConvertsQuietly(Convert convert) {
  t_bQuiet = true;
  t_bRefused = false;
  convert();
  t_bQuiet = false;
  return !t_bRefused;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool IsSeparator(char c) {
  return c == ' ' || c == ',' || c == '-' || c == '.' || c == ';';
}

char ToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Writes one byte in escaped notation; returns the characters written (<= 4).
int EscapeByte(BYTE b, char* out) {
  switch (b) {
    case 0x5C:
      return std::snprintf(out, 5, "\\\\");
    case 0x09:
      return std::snprintf(out, 5, "\\t");
    case 0x0A:
      return std::snprintf(out, 5, "\\n");
    case 0x0D:
      return std::snprintf(out, 5, "\\r");
    default:
      break;
  }
  if (b >= 0x20 && b <= 0x7F) {
    out[0] = static_cast<char>(b);
    out[1] = '\0';
    return 1;
  }
  return std::snprintf(out, 5, "\\x%02X", b);
}

}  // namespace

int EscapedTextToBytes(const char* text, BYTE* out) {
  if (out == nullptr)
    return 0;
  out[0] = 0;
  if (text == nullptr || *text == '\0')
    return 0;

  // `count` may run past the buffer: bytes beyond it are not stored, and
  // since they are always the last ones, a "\b" that takes them back leaves
  // the stored bytes right. A count still too large at the end is refused.
  int count = 0;
  auto put = [&](BYTE b) {
    if (count < kMaxDecodedBytes)
      out[count] = b;
    ++count;
  };
  enum class State { Normal, Escape, Hex };
  State state = State::Normal;
  const std::size_t length = std::strlen(text);
  std::size_t i = 0;
  while (i < length) {
    const char c = text[i];
    if (state == State::Normal) {
      if (c == '\\') {
        state = State::Escape;
      } else {
        put(static_cast<BYTE>(c));
      }
      ++i;
    } else if (state == State::Escape) {
      state = State::Normal;
      switch (c) {
        case '\\':
          put(0x5C);
          break;
        case 't':
          put(0x09);
          break;
        case 'r':
          put(0x0D);
          break;
        case 'n':
          put(0x0A);
          break;
        case 'b':
          if (count > 0)
            --count;
          break;
        case 'x':
        case 'X':
          state = State::Hex;
          break;
        default:
          break;  // unknown escape: the backslash and the character are dropped
      }
      ++i;
    } else {
      // The scanf conversion decides what a value is (it may skip blanks or
      // read a sign); the two characters after the x are consumed regardless.
      unsigned int value = 0;
      if (std::sscanf(text + i, "%2x", &value) == 1) {
        put(static_cast<BYTE>(value & 0xFF));
      } else {
        ReportConversionError();
      }
      i += 2;
      state = State::Normal;
    }
  }
  if (count > kMaxDecodedBytes)
    return RefuseConversion(out);
  out[count] = 0;
  return count;
}

int EscapedTextToHexText(const char* text, char* out) {
  if (out == nullptr)
    return 0;
  out[0] = '\0';
  BYTE bytes[kCodecBufferSize];
  const int count = EscapedTextToBytes(text, bytes);
  for (int i = 0; i < count; ++i) {
    std::snprintf(out + 3 * i, 4, "%02X ", bytes[i]);
  }
  out[3 * count] = '\0';
  return 3 * count;
}

int HexTextToBytes(const char* hex, BYTE* out) {
  if (out == nullptr)
    return 0;
  out[0] = 0;
  if (hex == nullptr || *hex == '\0')
    return 0;
  char digits[2 * kMaxDecodedBytes];
  int digitCount = 0;
  for (const char* p = hex; *p != '\0'; ++p) {
    const char c = ToUpper(*p);
    if (IsHexDigit(c)) {
      if (digitCount == static_cast<int>(sizeof(digits)))
        return RefuseConversion(out);
      digits[digitCount++] = c;
    } else if (!IsSeparator(c) || digitCount % 2 != 0) {
      return RefuseConversion(out);
    }
  }
  if (digitCount % 2 != 0)
    return RefuseConversion(out);
  const int count = digitCount / 2;
  for (int i = 0; i < count; ++i) {
    const char pair[3] = {digits[2 * i], digits[2 * i + 1], '\0'};
    out[i] = ParseHexByte(pair);
  }
  out[count] = 0;
  return count;
}

int HexTextToEscapedText(const char* hex, char* out) {
  if (out == nullptr)
    return 0;
  out[0] = '\0';
  BYTE bytes[kCodecBufferSize];
  const int count = HexTextToBytes(hex, bytes);
  int length = 0;  // at most 4 per byte: within kEscapedTextBufferSize
  for (int i = 0; i < count; ++i) {
    length += EscapeByte(bytes[i], out + length);
  }
  out[length] = '\0';
  return length;
}

bool CanConvertEscapedTextToHexText(const char* text) {
  char out[kHexTextBufferSize];
  return ConvertsQuietly([&] { EscapedTextToHexText(text, out); });
}

bool CanConvertHexTextToEscapedText(const char* hex) {
  char out[kEscapedTextBufferSize];
  return ConvertsQuietly([&] { HexTextToEscapedText(hex, out); });
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

BYTE ParseHexByte(const char* text) {
  if (text == nullptr)
    return 0;
  unsigned int value = 0;
  if (std::sscanf(text, "%x", &value) != 1)
    return 0;
  return static_cast<BYTE>(value & 0xFF);
}

int FramePacket(const BYTE* data, BYTE* out, int length) {
  if (data == nullptr || out == nullptr || length <= 0)
    return 0;
  int n = 0;
  BYTE sum = 0;
  out[n++] = 0x02;
  for (int i = 0; i < length; ++i) {
    const BYTE b = data[i];
    sum = static_cast<BYTE>(sum + b);
    if (b == 0x02 || b == 0x03 || b == 0x1A) {
      out[n++] = 0x1A;
      out[n++] = static_cast<BYTE>(~b);
    } else {
      out[n++] = b;
    }
  }
  out[n++] = 0x03;
  out[n++] = static_cast<BYTE>(0xFD - sum);
  return n;
}

bool ParseIpAddress(const char* text, BYTE* out4, int reversed) {
  if (text == nullptr || *text == '\0' || out4 == nullptr)
    return false;
  const in_addr_t address = ::inet_addr(text);  // network order: written order in memory
  BYTE octets[4];
  std::memcpy(octets, &address, sizeof(octets));
  for (int i = 0; i < 4; ++i) {
    out4[i] = reversed != 0 ? octets[3 - i] : octets[i];
  }
  return true;
}

bool ParseMacAddress(const char* text, int* out6) {
  if (text == nullptr || *text == '\0' || out6 == nullptr)
    return false;
  unsigned int fields[6];
  for (int i = 0; i < 6; ++i)
    fields[i] = static_cast<unsigned int>(out6[i]);
  std::sscanf(text, "%02X-%02X-%02X-%02X-%02X-%02X", &fields[0], &fields[1], &fields[2], &fields[3],
              &fields[4], &fields[5]);
  // "%X" takes a sign, so "-9" would read as 0xFFFFFFF7: such a field is not
  // a byte, and it ends the address as any other unreadable field does.
  for (int i = 0; i < 6 && fields[i] <= 0xFF; ++i)
    out6[i] = static_cast<int>(fields[i]);
  return true;
}
