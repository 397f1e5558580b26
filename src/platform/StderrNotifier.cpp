#include "platform/StderrNotifier.h"

#include <unistd.h>

#include <string>

int CStderrNotifier::MessageBox(const char* text, UINT /*type*/) {
  std::string line = "Sendrix: ";
  line += text != nullptr ? text : "";
  if (line.empty() || line.back() != '\n')
    line += '\n';
  ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
  return IDOK;
}
