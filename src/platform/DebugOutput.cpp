#include "platform/DebugOutput.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

void OutputDebugStringA(const char* text) {
  if (text == nullptr || std::getenv("SENDRIX_DEBUG") == nullptr)
    return;
  // One write() keeps lines from different threads whole.
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}
