#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {
std::string StripTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == kPathSeparator)
    path.pop_back();
  return path;
}
}  // namespace

std::string GetProgramFolder() {
  const char* home = std::getenv("SENDRIX_HOME");
  if (home != nullptr && *home != '\0')
    return StripTrailingSeparators(home);
  const char* user = std::getenv("HOME");
  std::string base;
  if (user != nullptr && *user != '\0') {
    base = user;
  } else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    base = pw->pw_dir;
  } else {
    base = "/tmp";
  }
  return StripTrailingSeparators(base) + "/.local/share/sendrix";
}
