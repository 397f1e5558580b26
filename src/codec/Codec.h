// Data-string codecs, packet framing and small shared utilities. Free
// functions without state of their own; safe to call from any thread (the
// decoders' error box goes through ShowErrorText, see report/ErrorBoxes.h).
//
// Two notations for a data string:
//  - escaped text: characters as themselves; a backslash introduces \\ \t \r
//    \n, \b (remove the last byte so far), \xHH (a byte by value; the two
//    characters after the x are always consumed); any other escape is dropped.
//  - hex text: pairs of hexadecimal digits, optionally separated by blanks,
//    ',', '-', '.' or ';' placed after an even number of digits. Written by
//    this module as "%02X " per byte (three characters, trailing blank).
//
// Limit: a data string is at most kMaxDecodedBytes (255) bytes, what the
// 256-byte send buffer holds with the NUL every decoder puts after its
// bytes. That is the only length refused: a text of any length that decodes
// to at most 255 bytes converts, and every 255-byte string has both a hex
// text (765 characters) and an escaped text (at most 1020 characters).
// Buffers, each with room for the NUL after the output (not counted in the
// result):
//  - bytes:        kCodecBufferSize (256);
//  - hex text:     kHexTextBufferSize (766), 3 characters per byte;
//  - escaped text: kEscapedTextBufferSize (1021), at most 4 per byte.
// A text that decodes to more than 255 bytes, or is malformed, is refused
// as a conversion error: error text 37 is shown, out receives an empty text
// and the result is 0. Nothing is ever written past a buffer.
#pragma once

#include <cstddef>

#include "platform/Win32Types.h"

inline constexpr int kCodecBufferSize = 256;
inline constexpr int kMaxDecodedBytes = kCodecBufferSize - 1;
inline constexpr int kHexTextBufferSize = 3 * kMaxDecodedBytes + 1;
inline constexpr int kEscapedTextBufferSize = 4 * kMaxDecodedBytes + 1;
// Decodes escaped text into bytes. out: kCodecBufferSize bytes. A null or
// empty text gives 0. A bad "\x" (no hex digit) shows the invalid-data-string error and decoding
// goes on; more than 255 bytes (after any "\b") shows the invalid-data-string error and gives 0.
// Returns the byte count.
int EscapedTextToBytes(const char* text, BYTE* out);

// Decodes escaped text and writes each byte as "%02X ". out:
// kHexTextBufferSize characters. Returns the character count (3 per byte).
int EscapedTextToHexText(const char* text, char* out);

// Decodes hex text into bytes. out: kCodecBufferSize bytes. A null or empty
// text gives 0 without error; a bad character, a separator after an odd
// number of digits or an odd digit count shows the invalid-data-string error once and gives 0 (out
// empty). Returns the byte count.
int HexTextToBytes(const char* hex, BYTE* out);

// Decodes hex text and writes it as escaped text: 0x5C as "\\", 0x20..0x7F as
// themselves, 0x09/0x0A/0x0D as \t \n \r, anything else as "\xHH". out:
// kEscapedTextBufferSize characters. Returns the character count.
int HexTextToEscapedText(const char* hex, char* out);

// Quiet checks: whether EscapedTextToHexText / HexTextToEscapedText would
// convert the text without an error (a null or empty text converts). No
// error box is shown; other threads' conversions still show theirs.
bool CanConvertEscapedTextToHexText(const char* text);
bool CanConvertHexTextToEscapedText(const char* hex);

// The value of one hexadecimal digit of either case; -1 for any other
// character.
int HexDigitValue(char c);

// Reads one hexadecimal number the way sscanf "%x" does and returns its low
// byte; 0 when no number can be read (also for a null text).
BYTE ParseHexByte(const char* text);

// Frames `length` bytes for the packet protocol: 0x02, the data with 0x02,
// 0x03 and 0x1A each replaced by 0x1A and the byte's complement, 0x03, then
// the check byte (0xFD - sum of the data bytes) mod 256. out must hold
// 2 * length + 3 bytes (the worst case: every byte replaced). Length 0 (or
// less) writes nothing and returns 0. Returns the frame length.
int FramePacket(const BYTE* data, BYTE* out, int length);

// Dotted IP text to four bytes, by the inet_addr rules (so "10.1" and hex or
// octal parts are accepted). Null or empty text: false, out4 unchanged.
// Otherwise true: reversed = 0 puts the octets in written order; reversed = 1
// in the opposite order, so that out4 read as a little-endian 32-bit number
// has the first octet in its most significant byte. A text inet_addr rejects
// gives 255.255.255.255 (and still true).
bool ParseIpAddress(const char* text, BYTE* out4, int reversed);

// Reads up to six hexadecimal fields "%02X-%02X-%02X-%02X-%02X-%02X" into
// out6[0..5]; fields not read keep their values. Null or empty text: false;
// otherwise true, however many fields were read.
bool ParseMacAddress(const char* text, int* out6);
