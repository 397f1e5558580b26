#include "settings/OsVersion.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// The Windows rule is kept as a pure mapping (no caller on Linux): one row
// per branch. Win32s, 9x and NT before XP are refused; XP and later run, NT 6
// names workstation and server apart, later versions show as xxxx.
TEST(OsVersionTest, NamesAndVerdictsOfEveryPlatform) {
  const struct {
    COsVersionInfo info;  // platform, major, minor, build, CSD, product type
    const char* text;
    int result;
  } kRows[] = {
      {{0, 3, 11, 0, "x", 1}, "Microsoft Win32s- Version 3.11 x", 0},
      // 95: "OSR2 " unless CSD[1] is B or C; the build's low word.
      {{1, 4, 0, 0x040003B6, " A", 1}, "Microsoft Windows 95 OSR2 - Version 4.0.950 A", 0},
      {{1, 4, 0, 1111, " B", 1}, "Microsoft Windows 95 - Version 4.0.1111 B", 0},
      {{1, 4, 0, 950, "", 1}, "Microsoft Windows 95 OSR2 - Version 4.0.950", 0},  // no CSD[1]
      {{1, 4, 10, 2222, " A", 1}, "Microsoft Windows 98 SE - Version 4.10.2222 A", 0},
      {{1, 4, 10, 1998, "", 1}, "Microsoft Windows 98 - Version 4.10.1998", 0},
      {{1, 4, 90, 3000, "", 1}, "Microsoft Windows Millemium Edition - Version 4.90.3000", 0},
      {{1, 4, 20, 1, "", 1}, nullptr, 0},
      {{2, 4, 0, 1381, "SP6", 1}, "Microsoft Windows NT SP6 - Version 4.0.1381", 0},
      {{2, 5, 0, 2195, "SP4", 1}, "Microsoft Windows 2000 SP4 - Version 5.0.2195", 0},
      {{2, 5, 1, 2600, "SP3", 1}, "Microsoft Windows XP SP3 - Version 5.1.2600", 1},
      {{2, 5, 2, 3790, "", 3}, "Microsoft Windows 2003 Server  - Version 5.2.3790", 1},
      {{2, 5, 3, 1, "", 1}, nullptr, 0},
      {{2, 6, 0, 6002, "SP2", 1}, "Microsoft Windows Vista SP2 - Version 6.0.6002", 1},
      {{2, 6, 0, 6002, "", 3}, "Microsoft Windows Server 2008  - Version 6.0.6002", 1},
      {{2, 6, 1, 7601, "", 2}, "Microsoft Windows Server 2008 R2  - Version 6.1.7601", 1},
      {{2, 10, 0, 19045, "", 1}, "Microsoft Windows xxxx  - Version 10.0.19045", 1},
      {{3, 1, 2, 3, "csd", 1}, "unknown - Version 1.2 Build 3 csd", 0},
  };
  for (const auto& row : kRows) {
    std::string text = "stale";
    const std::string want = row.text ? std::string("OS Version = ") + row.text : "";
    EXPECT_EQ(MapOsVersion(row.info, &text), row.result) << want;
    EXPECT_EQ(text, want);
  }
}

TEST(OsVersionTest, LinuxTextFromFirstReadableOsReleaseAndUname) {
  const std::string dir = ::testing::TempDir();
  const std::string quoted = dir + "/os-release-quoted";
  std::ofstream(quoted) << "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 \\\"bookworm\\\"\""
                        << "\nID=debian\n";
  const std::string bare = dir + "/os-release-bare";
  std::ofstream(bare) << "PRETTY_NAME=Plain\n";
  const std::string none = dir + "/os-release-none";
  std::ofstream(none) << "ID=x\n";
  utsname u{};
  ASSERT_EQ(uname(&u), 0);
  const std::string kernel = std::string(" - Version ") + u.release + " " + u.machine;

  EXPECT_EQ(LinuxOsVersionText({dir + "/missing", quoted, bare}),
            "OS Version = Debian GNU/Linux 12 \"bookworm\"" + kernel);
  EXPECT_EQ(LinuxOsVersionText({bare}), "OS Version = Plain" + kernel);
  EXPECT_EQ(LinuxOsVersionText({none, bare}), "OS Version = Linux" + kernel);
  EXPECT_EQ(LinuxOsVersionText({dir + "/missing"}), "OS Version = Linux" + kernel);
  std::string text;
  EXPECT_EQ(CheckOSVersion(&text), 1);
  EXPECT_EQ(text.rfind("OS Version = ", 0), 0u);
}

}  // namespace
