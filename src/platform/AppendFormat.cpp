#include "platform/AppendFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void AppendFormatV(char* buffer, std::size_t size, const char* format, va_list args) {
  if (buffer == nullptr || format == nullptr || size == 0)
    return;
  const std::size_t used = strnlen(buffer, size);
  if (used >= size)
    return;  // no NUL inside the buffer: do not touch it
  char work[kAppendFormatBufferSize];
  const int written = std::vsnprintf(work, sizeof(work), format, args);
  if (written <= 0)
    return;
  const std::size_t length = std::min(static_cast<std::size_t>(written), sizeof(work) - 1);
  const std::size_t add = std::min(length, size - 1 - used);
  std::memcpy(buffer + used, work, add);
  buffer[used + add] = '\0';
}

}  // namespace

void AppendFormat(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(buffer, kAppendFormatBufferSize, format, args);
  va_end(args);
}

void AppendFormatTo(char* buffer, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(buffer, size, format, args);
  va_end(args);
}

std::string FormatText(const char* format, ...) {
  char text[kAppendFormatBufferSize] = "";
  va_list args;
  va_start(args, format);
  AppendFormatV(text, sizeof(text), format, args);
  va_end(args);
  return text;
}
