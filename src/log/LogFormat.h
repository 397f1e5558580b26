// Text building blocks of the data log: the hex dump, HTML escaping and the
// log clock's arithmetic. Pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/Win32Types.h"

// Appends text to out with <, > and & written as &lt;, &gt; and &amp;.
void AppendEscapedHtml(std::string& out, const char* text, size_t length);

// Appends the dump rows of data to out, 16 bytes a row, each row ending in
// "\r\n": the row's offset (4 upper-case hex digits, low 16 bits), ": ", per
// byte two hex digits and a blank with one more blank after every 4th byte,
// a blank, then per byte the character itself for 0x20..0x7F, else '.'. A
// short last row is padded with blanks so its characters also start at
// column 59. Columns count characters before escaping; the character column
// is escaped as AppendEscapedHtml does.
void AppendHexDump(std::string& out, const BYTE* data, size_t length);

// The log clock: start plus elapsedMs, added field by field with carries
// (ms, s, min, h). Each 24 hours add one to the day; month and year stay
// those of start and the day is not wrapped at the end of a month.
SYSTEMTIME AddElapsedMs(const SYSTEMTIME& start, std::uint64_t elapsedMs);

// now - previous as hours, minutes, seconds, milliseconds (in the fields of
// the same names), with borrows; the hours are taken modulo 24 and the date
// fields are 0.
SYSTEMTIME TimeDifference(const SYSTEMTIME& now, const SYSTEMTIME& previous);
