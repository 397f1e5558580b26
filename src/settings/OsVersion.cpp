#include "settings/OsVersion.h"

#include <sys/utsname.h>

#include <cstdio>

#include "platform/AppendFormat.h"
#include "platform/FileIo.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

namespace {

// Longest distribution name kept: the text heads the log.
constexpr std::size_t kMaxPrettyName = 255;

// The CSD's second character, or NUL for a shorter text.
char CsdSecond(const std::string& csd) {
  return csd.size() >= 2 ? csd[1] : '\0';
}

int MapWindows9x(const COsVersionInfo& v, std::string* text) {
  const char* csd = v.m_strCSDVersion.c_str();
  const long build = static_cast<long>(v.m_dwBuildNumber & 0xFFFF);
  const char second = CsdSecond(v.m_strCSDVersion);
  if (v.m_dwMajorVersion == 4 && v.m_dwMinorVersion == 0) {
    const char* osr2 = (second == 'B' || second == 'C') ? "" : "OSR2 ";
    *text = FormatText("OS Version = Microsoft Windows 95 %s- Version %d.%d.%ld%s", osr2, 4, 0,
                       build, csd);
  } else if (v.m_dwMajorVersion == 4 && v.m_dwMinorVersion == 10) {
    *text = FormatText("OS Version = Microsoft Windows 98 %s- Version %d.%d.%ld%s",
                       second == 'A' ? "SE " : "", 4, 10, build, csd);
  } else if (v.m_dwMajorVersion == 4 && v.m_dwMinorVersion == 90) {
    *text = FormatText("OS Version = Microsoft Windows Millemium Edition - Version %d.%d.%ld%s", 4,
                       90, build, csd);
  }
  return 0;
}

// The NT family's name for a version, or null for the versions without a
// text; *runs tells whether the program runs there.
const char* NtName(const COsVersionInfo& v, int* runs) {
  const DWORD major = v.m_dwMajorVersion;
  const DWORD minor = v.m_dwMinorVersion;
  const bool workstation = v.m_wProductType == 1;
  *runs = 1;
  if (major <= 4) {
    *runs = 0;
    return "NT";
  }
  if (major == 5) {
    *runs = minor == 1 || minor == 2;
    static const char* const kNames[] = {"2000", "XP", "2003 Server"};
    return minor <= 2 ? kNames[minor] : nullptr;
  }
  if (major == 6 && minor <= 2) {
    static const char* const kWorkstation[] = {"Vista", "7", "8"};
    static const char* const kServer[] = {"Server 2008", "Server 2008 R2", "Server 2012"};
    return workstation ? kWorkstation[minor] : kServer[minor];
  }
  return "xxxx";  // 6.3 and later, or major 7 and above
}

int MapWindowsNt(const COsVersionInfo& v, std::string* text) {
  int runs = 0;
  const char* name = NtName(v, &runs);
  if (name == nullptr)
    return 0;
  *text = FormatText("OS Version = Microsoft Windows %s %s - Version %d.%d.%d", name,
                     v.m_strCSDVersion.c_str(), static_cast<int>(v.m_dwMajorVersion),
                     static_cast<int>(v.m_dwMinorVersion), static_cast<int>(v.m_dwBuildNumber));
  return runs;
}

// PRETTY_NAME's value: quotes removed, backslash escapes undone.
std::string ShellValue(const std::string& raw) {
  std::string value;
  char quote = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (c == '\\' && quote != '\'' && i + 1 < raw.size()) {
      value += raw[++i];
    } else if (quote == 0 && (c == ' ' || c == '\t' || c == '#')) {
      break;
    } else {
      value += c;
    }
  }
  return value;
}

std::string PrettyName(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::string bytes;
    if (!ReadFileBytes(path, 64 * 1024, &bytes))
      continue;
    std::size_t start = 0;
    while (start < bytes.size()) {
      std::size_t end = bytes.find('\n', start);
      if (end == std::string::npos)
        end = bytes.size();
      const std::string line = bytes.substr(start, end - start);
      start = end + 1;
      if (line.rfind("PRETTY_NAME=", 0) == 0) {
        const std::string value = ShellValue(line.substr(12));
        if (!value.empty())
          return value.substr(0, kMaxPrettyName);
      }
    }
    return "Linux";  // the first readable file decides
  }
  return "Linux";
}

}  // namespace

int MapOsVersion(const COsVersionInfo& info, std::string* text) {
  text->clear();
  switch (info.m_dwPlatformId) {
    case 0:
      *text = FormatText("OS Version = Microsoft Win32s- Version %d.%d %s",
                         static_cast<int>(info.m_dwMajorVersion),
                         static_cast<int>(info.m_dwMinorVersion), info.m_strCSDVersion.c_str());
      return 0;
    case 1:
      return MapWindows9x(info, text);
    case 2:
      return MapWindowsNt(info, text);
    default:
      *text = FormatText("OS Version = unknown - Version %d.%d Build %d %s",
                         static_cast<int>(info.m_dwMajorVersion),
                         static_cast<int>(info.m_dwMinorVersion),
                         static_cast<int>(info.m_dwBuildNumber), info.m_strCSDVersion.c_str());
      return 0;
  }
}

std::string LinuxOsVersionText(const std::vector<std::string>& osReleasePaths) {
  utsname u{};
  std::string kernel = "unknown";
  if (uname(&u) == 0)
    kernel = std::string(u.release) + " " + u.machine;
  return "OS Version = " + PrettyName(osReleasePaths) + " - Version " + kernel;
}

int CheckOSVersion(std::string* text) {
  *text = LinuxOsVersionText();
  return 1;
}

int ConfirmOsSupported(int checkResult) {
  if (checkResult != 0)
    return 1;
  ShowErrorText(kErrorOsNotSupported);
  return 0;
}
