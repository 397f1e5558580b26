// Which operating system the program runs on, and whether it may run.
//
// MapOsVersion is the rule the program has always applied to Windows version
// records (kept as a pure mapping so that it stays checked); on Linux the
// program describes the system from os-release and uname and always runs.
// The refusal path stays: start-up passes the result to ConfirmOsSupported,
// which shows kErrorOsNotSupported for 0, and then does not show the window.
//
// Threading: no shared state; ConfirmOsSupported's box goes through
// ShowErrorText (report/ErrorBoxes.h).
#pragma once

#include <string>
#include <vector>

#include "platform/Win32Types.h"

// The fields of a Windows version record that decide.
struct COsVersionInfo {
  DWORD m_dwPlatformId = 0;  // 0 Win32s, 1 Windows 9x, 2 NT
  DWORD m_dwMajorVersion = 0;
  DWORD m_dwMinorVersion = 0;
  DWORD m_dwBuildNumber = 0;
  std::string m_strCSDVersion;  // service-pack text
  BYTE m_wProductType = 0;      // 1 workstation
};

// Sets *text to the "OS Version = ..." line for the record ("" for the rows
// without a text) and returns 1 when the program may run (Windows XP and
// later), else 0.
int MapOsVersion(const COsVersionInfo& info, std::string* text);

// "OS Version = <PRETTY_NAME> - Version <kernel release> <machine>": the
// PRETTY_NAME of the first readable file of osReleasePaths (quotes and
// backslash escapes removed; "Linux" when none has it) and uname's release
// and machine.
std::string LinuxOsVersionText(const std::vector<std::string>& osReleasePaths = {
                                   "/etc/os-release", "/usr/lib/os-release"});

// The start-up check on this platform: *text := LinuxOsVersionText(); 1.
int CheckOSVersion(std::string* text);

// For a check result of 0: shows error text 49 (message box and log line)
// and returns 0, so start-up ends without the window. Otherwise returns 1.
int ConfirmOsSupported(int checkResult);
