// Bounded printf-style appending to a NUL-terminated text in a fixed buffer,
// and printf-style formatting into a string.
// No state; safe to call from any thread.
#pragma once

#include <cstddef>
#include <string>

// Size of the buffer AppendFormat works in, and that its caller must give.
inline constexpr std::size_t kAppendFormatBufferSize = 2048;

// Formats the arguments (printf rules) and appends them to the NUL-terminated
// text already in buffer. buffer must hold kAppendFormatBufferSize bytes: the
// whole text, NUL included, never goes past them; what would go further is
// left out. A buffer already holding no NUL within that size is left alone.
void AppendFormat(char* buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));

// As AppendFormat, for a buffer of `size` bytes.
void AppendFormatTo(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The formatted text itself (printf rules), cut at kAppendFormatBufferSize - 1
// characters.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
